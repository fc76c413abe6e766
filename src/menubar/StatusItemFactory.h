#pragma once

#include "menubar/StatusItem.h"

#include <memory>

namespace quendle2 {

/// The status item for this desktop on the session bus: a SwitchingStatusItem, which follows the desktop's
/// hosts as they come and go; null when there is neither a session bus nor a system tray. The returned
/// pointer owns the item even when `parent` is given; a parent only fits if it keeps the pointer and so
/// deletes the item before it deletes its own children.
std::unique_ptr<StatusItem> createStatusItem(QObject* parent = nullptr);

} // namespace quendle2
