#pragma once

#include <QString>

namespace quendle2::StatusItemMenu {

/// The entries of the status item's menu, the same in every backend.
inline QString openLabel() {
    return QStringLiteral("Open quendle2");
}

inline QString quitLabel() {
    return QStringLiteral("Quit quendle2");
}

} // namespace quendle2::StatusItemMenu
