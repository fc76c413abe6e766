#pragma once

#include <QString>

namespace quendle2 {

/// The line the main window shows while nothing on the desktop hosts the status item: what to install or add
/// for the desktop named by `currentDesktop` (XDG_CURRENT_DESKTOP, e.g. "ubuntu:GNOME"), and that closing
/// the window quits meanwhile.
QString hostHint(const QString& currentDesktop);

} // namespace quendle2
