#include "menubar/HostHint.h"

#include <QCoreApplication>
#include <QStringList>

namespace quendle2 {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(quendle2::HostHint)
};

} // namespace

QString hostHint(const QString& currentDesktop) {
    const QStringList desktops = currentDesktop.toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QString remedy = Text::tr("start a panel with a system tray or a StatusNotifierItem host");
    if (desktops.contains(QStringLiteral("GNOME"))) {
        remedy =
            Text::tr("install and enable the AppIndicator extension (gnome-shell-extension-appindicator)");
    } else if (desktops.contains(QStringLiteral("KDE"))) {
        remedy = Text::tr("add the System Tray widget to a panel");
    } else if (desktops.contains(QStringLiteral("XFCE"))) {
        remedy = Text::tr("add the Status Tray plugin, or the Indicator plugin (xfce4-indicator-plugin), "
                          "to a panel");
    } else if (desktops.contains(QStringLiteral("MATE"))) {
        remedy = Text::tr("add the Indicator Applet (mate-indicator-applet) to a panel");
    }
    return Text::tr("No panel shows quendle2: %1. Until then, closing this window quits it.").arg(remedy);
}

} // namespace quendle2
