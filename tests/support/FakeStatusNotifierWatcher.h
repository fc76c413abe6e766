#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

class QDBusServiceWatcher;

namespace quendle2::test {

/// A stand-in for the org.kde.StatusNotifierWatcher a desktop runs: it keeps the items that register
/// and forgets an item when its bus name goes away. Like KDE's watcher it names an item
/// "<bus name><object path>", taking the caller's own name when an item registers with a bare path.
/// The members marked Q_SCRIPTABLE are the ones on the bus.
class FakeStatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    // Items may refuse to show when no host is said to be present.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit FakeStatusNotifierWatcher(const QDBusConnection& connection, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override { stop(); }

    /// Takes the watcher's name and object; false if another watcher holds them.
    bool start();
    /// Gives them up and forgets every item, as a watcher that quits does.
    void stop();

    QStringList registeredItems() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    /// Registers an item by bus name, or by object path on behalf of the caller; an error reply if it
    /// names nothing live.
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& serviceOrPath);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service) { Q_UNUSED(service); }

Q_SIGNALS:
    void itemRegistered(const QString& item);
    void itemUnregistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();
    Q_SCRIPTABLE void StatusNotifierHostUnregistered();

private:
    void forgetService(const QString& service);

    QDBusConnection m_connection;
    QDBusServiceWatcher* m_itemServices;
    QStringList m_items;
    bool m_running = false;
};

} // namespace quendle2::test
