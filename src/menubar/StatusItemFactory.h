#pragma once

#include "menubar/StatusItem.h"

#include <memory>

namespace quendle2 {

/// The best status item this desktop can host: a StatusNotifierItem when a StatusNotifierWatcher is on the
/// session bus, else a tray icon when there is a system tray, else a StatusNotifierItem that waits for a
/// watcher (at login the panel may start after us), else null when there is no session bus either. The
/// returned pointer owns the item even when `parent` is given; a parent only fits if it keeps the pointer and
/// so deletes the item before it deletes its own children.
std::unique_ptr<StatusItem> createStatusItem(QObject* parent = nullptr);

} // namespace quendle2
