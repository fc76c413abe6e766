#pragma once

#include <QStringList>

namespace quendle2::status {

/// quendle2-status with `arguments` (the program's name first): prints the journey of the running
/// application, follows it, or exports a recorded trip. Runs the event loop of the existing
/// QCoreApplication when it has to wait; returns the exit status.
int runStatusTool(const QStringList& arguments);

} // namespace quendle2::status
