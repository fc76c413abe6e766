# Runs lupdate over src/ into the .ts files beside this script (MODE update), or into copies of them in WORK
# that must then have a translation for every text and nothing the sources no longer say (MODE check, a test).
#   cmake -DLUPDATE=<lupdate> -DMODE=update|check [-DWORK=<folder>] -P lupdate.cmake
get_filename_component(sources "${CMAKE_CURRENT_LIST_DIR}/../src" ABSOLUTE)
file(GLOB ts_files "${CMAKE_CURRENT_LIST_DIR}/*.ts")
if(NOT ts_files)
  message(FATAL_ERROR "No .ts files in ${CMAKE_CURRENT_LIST_DIR}")
endif()

set(open_messages "")
foreach(ts IN LISTS ts_files)
  if(MODE STREQUAL "check")
    get_filename_component(name "${ts}" NAME)
    file(MAKE_DIRECTORY "${WORK}")
    file(COPY_FILE "${ts}" "${WORK}/${name}")
    set(ts "${WORK}/${name}")
  endif()
  # Without line numbers: moving code leaves the files alone.
  execute_process(COMMAND "${LUPDATE}" -silent -locations none "${sources}" -ts "${ts}"
                  RESULT_VARIABLE failed ERROR_VARIABLE warnings)
  if(failed)
    message(FATAL_ERROR "lupdate failed on ${ts}: ${warnings}")
  endif()
  # Such as a tr() in a class without Q_OBJECT: at run time it looks its texts up under its base class's name.
  if(warnings)
    message(WARNING "${warnings}")
    string(APPEND open_messages "\n  lupdate: ${warnings}")
  endif()
  if(MODE STREQUAL "check")
    # A message's <source> line comes before its <translation> line. Semicolons would split the lines.
    file(READ "${ts}" content)
    string(REPLACE ";" "," content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    foreach(line IN LISTS lines)
      if(line MATCHES "<source>(.*)</source>")
        set(source "${CMAKE_MATCH_1}")
      elseif(line MATCHES "type=\"(unfinished|vanished|obsolete)\"")
        string(APPEND open_messages "\n  ${name}: ${CMAKE_MATCH_1}: ${source}")
      endif()
    endforeach()
  endif()
endforeach()

if(open_messages)
  message(FATAL_ERROR "The translations are not complete (build the target update_translations, translate "
                      "what is unfinished with Qt Linguist, delete what vanished):${open_messages}")
endif()
