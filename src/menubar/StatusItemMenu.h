#pragma once

#include <QCoreApplication>
#include <QString>

namespace quendle2::StatusItemMenu {

/// The texts the status item shares with its menu, the same in every backend.
inline QString openLabel() {
    return QCoreApplication::translate("quendle2::StatusItemMenu", "Open quendle2");
}

inline QString quitLabel() {
    return QCoreApplication::translate("quendle2::StatusItemMenu", "Quit quendle2");
}

inline QString disconnectedLabel() {
    return QCoreApplication::translate("quendle2::StatusItemMenu", "Disconnected");
}

} // namespace quendle2::StatusItemMenu
