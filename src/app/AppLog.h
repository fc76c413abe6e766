#pragma once

#include <QLoggingCategory>

namespace quendle2 {

/// The shell's own messages: start-up, instances, quitting.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace quendle2
