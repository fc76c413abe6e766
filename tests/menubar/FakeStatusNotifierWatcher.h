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
class FakeStatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit FakeStatusNotifierWatcher(const QDBusConnection& connection, QObject* parent = nullptr);
    ~FakeStatusNotifierWatcher() override;

    /// Takes the watcher's name and object; false if another watcher holds them.
    bool start();
    /// Gives them up and forgets every item, as a watcher that quits does.
    void stop();
    bool isRunning() const { return m_running; }

    QStringList registeredItems() const { return m_items; }

    /// Registers an item by bus name, or by object path on behalf of `sender`; false if it names nothing
    /// live.
    bool registerItem(const QString& serviceOrPath, const QString& sender, QString* error);

Q_SIGNALS:
    void itemRegistered(const QString& item);
    void itemUnregistered(const QString& item);

private:
    friend class FakeWatcherAdaptor;

    /// The adaptor's call, answered here because QtDBus keeps a call's context on the adaptor's parent.
    void registerCallingItem(const QString& serviceOrPath);
    void forgetService(const QString& service);

    QDBusConnection m_connection;
    QDBusServiceWatcher* m_itemServices;
    QStringList m_items;
    bool m_running = false;
};

} // namespace quendle2::test
