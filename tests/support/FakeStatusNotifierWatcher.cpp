#include "support/FakeStatusNotifierWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace quendle2::test {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(const QDBusConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_itemServices(new QDBusServiceWatcher(this)) {
    m_itemServices->setConnection(m_connection);
    m_itemServices->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_itemServices, &QDBusServiceWatcher::serviceUnregistered, this,
            &FakeStatusNotifierWatcher::forgetService);
    connect(this, &FakeStatusNotifierWatcher::itemRegistered, this,
            &FakeStatusNotifierWatcher::StatusNotifierItemRegistered);
    connect(this, &FakeStatusNotifierWatcher::itemUnregistered, this,
            &FakeStatusNotifierWatcher::StatusNotifierItemUnregistered);
}

bool FakeStatusNotifierWatcher::start() {
    if (!m_running &&
        m_connection.registerObject(watcherPath, this, QDBusConnection::ExportScriptableContents)) {
        m_running = m_connection.registerService(watcherService);
        if (!m_running) {
            m_connection.unregisterObject(watcherPath);
        }
    }
    return m_running;
}

void FakeStatusNotifierWatcher::stop() {
    if (m_running) {
        m_connection.unregisterService(watcherService);
        m_connection.unregisterObject(watcherPath);
        m_running = false;
        m_itemServices->setWatchedServices({});
        m_items.clear();
    }
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString& serviceOrPath) {
    const bool byPath = serviceOrPath.startsWith(u'/');
    const QString service = byPath ? message().service() : serviceOrPath;
    // A host would look the item up by this name: one nobody owns is a broken registration.
    if (service.isEmpty() || !m_connection.interface()->isServiceRegistered(service).value()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such service: ") + service);
        return;
    }
    const QString item = service + (byPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem"));
    if (!m_items.contains(item)) {
        m_items.append(item);
        m_itemServices->addWatchedService(service);
    }
    // Announced again on a repeated registration, as real watchers do; hosts treat it as a refresh.
    Q_EMIT itemRegistered(item);
}

void FakeStatusNotifierWatcher::forgetService(const QString& service) {
    m_itemServices->removeWatchedService(service);
    const QString prefix = service + u'/';
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items.at(i).startsWith(prefix)) {
            Q_EMIT itemUnregistered(m_items.takeAt(i));
        }
    }
}

} // namespace quendle2::test
