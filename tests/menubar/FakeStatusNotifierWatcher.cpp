#include "FakeStatusNotifierWatcher.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace quendle2::test {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

class FakeWatcherAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit FakeWatcherAdaptor(FakeStatusNotifierWatcher* watcher)
        : QDBusAbstractAdaptor(watcher)
        , m_watcher(watcher) {
        connect(watcher, &FakeStatusNotifierWatcher::itemRegistered, this,
                &FakeWatcherAdaptor::StatusNotifierItemRegistered);
        connect(watcher, &FakeStatusNotifierWatcher::itemUnregistered, this,
                &FakeWatcherAdaptor::StatusNotifierItemUnregistered);
    }

    QStringList registeredItems() const { return m_watcher->registeredItems(); }
    // Items may refuse to show when no host is said to be present.
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        m_watcher->registerCallingItem(serviceOrPath);
    }

    void RegisterStatusNotifierHost(const QString& service) { Q_UNUSED(service); }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    FakeStatusNotifierWatcher* m_watcher;
};

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(const QDBusConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_itemServices(new QDBusServiceWatcher(this)) {
    new FakeWatcherAdaptor(this);
    m_itemServices->setConnection(m_connection);
    m_itemServices->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_itemServices, &QDBusServiceWatcher::serviceUnregistered, this,
            &FakeStatusNotifierWatcher::forgetService);
}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher() {
    stop();
}

bool FakeStatusNotifierWatcher::start() {
    if (m_running) {
        return true;
    }
    if (!m_connection.registerObject(watcherPath, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    if (!m_connection.registerService(watcherService)) {
        m_connection.unregisterObject(watcherPath);
        return false;
    }
    m_running = true;
    return true;
}

void FakeStatusNotifierWatcher::stop() {
    if (!m_running) {
        return;
    }
    m_connection.unregisterService(watcherService);
    m_connection.unregisterObject(watcherPath);
    m_running = false;
    m_itemServices->setWatchedServices({});
    m_items.clear();
}

bool FakeStatusNotifierWatcher::registerItem(const QString& serviceOrPath, const QString& sender,
                                             QString* error) {
    const bool byPath = serviceOrPath.startsWith(u'/');
    const QString service = byPath ? sender : serviceOrPath;
    const QString path = byPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
    // A host would look the item up by this name: one nobody owns is a broken registration.
    if (service.isEmpty() || !m_connection.interface()->isServiceRegistered(service).value()) {
        *error = QStringLiteral("No such service: ") + service;
        return false;
    }
    const QString item = service + path;
    if (!m_items.contains(item)) {
        m_items.append(item);
        m_itemServices->addWatchedService(service);
    }
    // Announced again on a repeated registration, as real watchers do; hosts treat it as a refresh.
    Q_EMIT itemRegistered(item);
    return true;
}

void FakeStatusNotifierWatcher::registerCallingItem(const QString& serviceOrPath) {
    QString error;
    if (!registerItem(serviceOrPath, message().service(), &error)) {
        sendErrorReply(QDBusError::InvalidArgs, error);
    }
}

void FakeStatusNotifierWatcher::forgetService(const QString& service) {
    m_itemServices->removeWatchedService(service);
    const QString prefix = service + u'/';
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items.at(i).startsWith(prefix)) {
            const QString item = m_items.takeAt(i);
            Q_EMIT itemUnregistered(item);
        }
    }
}

} // namespace quendle2::test

#include "FakeStatusNotifierWatcher.moc"
