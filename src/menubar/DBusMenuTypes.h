#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QStringList>
#include <QVariantMap>

namespace quendle2 {

/// A menu item with its subtree, D-Bus type (ia{sv}av); each child travels as a variant holding the same
/// structure.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

/// An item's properties without its children, D-Bus type (ia{sv}).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

/// Names of properties an item lost, D-Bus type (ias).
struct DBusMenuItemKeys {
    int id = 0;
    QStringList propertyNames;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

/// One event of EventGroup, D-Bus type (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

/// Makes the types above known to QtDBus; cheap after the first call.
void registerDBusMenuTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

} // namespace quendle2

Q_DECLARE_METATYPE(quendle2::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(quendle2::DBusMenuItem)
Q_DECLARE_METATYPE(quendle2::DBusMenuItemKeys)
Q_DECLARE_METATYPE(quendle2::DBusMenuEvent)
