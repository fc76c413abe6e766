#include "menubar/HostHint.h"

#include <QStringList>

namespace quendle2 {

QString hostHint(const QString& currentDesktop) {
    const QStringList desktops = currentDesktop.toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QString remedy = QStringLiteral("start a panel with a system tray or a StatusNotifierItem host");
    if (desktops.contains(QStringLiteral("GNOME"))) {
        remedy = QStringLiteral(
            "install and enable the AppIndicator extension (gnome-shell-extension-appindicator)");
    } else if (desktops.contains(QStringLiteral("KDE"))) {
        remedy = QStringLiteral("add the System Tray widget to a panel");
    } else if (desktops.contains(QStringLiteral("XFCE"))) {
        remedy =
            QStringLiteral("add the Status Tray plugin, or the Indicator plugin (xfce4-indicator-plugin), "
                           "to a panel");
    } else if (desktops.contains(QStringLiteral("MATE"))) {
        remedy = QStringLiteral("add the Indicator Applet (mate-indicator-applet) to a panel");
    }
    return QStringLiteral("No panel shows quendle2: %1. Until then, closing this window quits it.")
        .arg(remedy);
}

} // namespace quendle2
