#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

class QImage;

namespace quendle2 {

/// One picture of an icon as the StatusNotifierItem protocol carries it, D-Bus type (iiay): ARGB32 pixels
/// row after row, each pixel's four bytes in network order (alpha first) whatever the host's byte order.
struct SniIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;

    static SniIconPixmap fromImage(const QImage& image);
};
using SniIconPixmapList = QList<SniIconPixmap>;

/// The item's tooltip, D-Bus type (sa(iiay)ss).
struct SniToolTip {
    QString iconName;
    SniIconPixmapList iconPixmaps;
    QString title;
    QString description;
};

/// Makes the types above known to QtDBus; cheap after the first call.
void registerSniTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const SniIconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniIconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

} // namespace quendle2

Q_DECLARE_METATYPE(quendle2::SniIconPixmap)
Q_DECLARE_METATYPE(quendle2::SniToolTip)
