#include "journeybus/JourneyBus.h"

#include "menubar/StatusBarManager.h"
#include "platform/JourneyBusNames.h"
#include "service/AppStore.h"
#include "service/TrainService.h"

#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>

#include <algorithm>

namespace quendle2 {

class JourneyBusAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quendle2.Quendle2.Journey")
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(bool Connected READ connected)
    Q_PROPERTY(double SpeedKmh READ speedKmh)
    Q_PROPERTY(QString TrainIdentifier READ trainIdentifier)
    Q_PROPERTY(QString Wifi READ wifi)
    Q_PROPERTY(QString DestinationName READ destinationName)
    Q_PROPERTY(QString DestinationEva READ destinationEva)
    Q_PROPERTY(qlonglong ArrivalEpochMs READ arrivalEpochMs)
    Q_PROPERTY(QString Delay READ delay)
    Q_PROPERTY(QString Platform READ platform)
    Q_PROPERTY(QString TripId READ tripId)
    Q_PROPERTY(QStringList NextStops READ nextStops)

public:
    explicit JourneyBusAdaptor(JourneyBus* bus)
        : QDBusAbstractAdaptor(bus)
        , m_bus(bus) {}

    QString title() const { return m_bus->state().title; }
    bool connected() const { return m_bus->state().connected; }
    double speedKmh() const { return m_bus->state().speedKmh; }
    QString trainIdentifier() const { return m_bus->state().trainIdentifier; }
    QString wifi() const { return m_bus->state().wifi; }
    QString destinationName() const { return m_bus->state().destinationName; }
    QString destinationEva() const { return m_bus->state().destinationEva; }
    qlonglong arrivalEpochMs() const { return m_bus->state().arrivalEpochMs; }
    QString delay() const { return m_bus->state().delay; }
    QString platform() const { return m_bus->state().platform; }
    QString tripId() const { return m_bus->state().tripId; }
    QStringList nextStops() const { return m_bus->state().nextStops; }

public Q_SLOTS:
    // Queued: the window must not open inside the bus's delivery of the call.
    void ShowWindow() {
        QMetaObject::invokeMethod(m_bus, &JourneyBus::showWindowRequested, Qt::QueuedConnection);
    }

    void SelectDestination(const QString& eva) {
        if (!m_bus->selectDestination(eva)) {
            m_bus->sendErrorReply(QString::fromLatin1(JourneyBusNames::unknownStopError),
                                  QStringLiteral("%1 is not a stop ahead on this journey").arg(eva));
        }
    }

private:
    JourneyBus* m_bus = nullptr;
};

namespace {

QString objectPath() {
    return QString::fromLatin1(JourneyBusNames::objectPath);
}

} // namespace

JourneyBus::JourneyBus(AppStore* store, StatusBarManager* manager, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_manager(manager) {
    new JourneyBusAdaptor(this);
    if (manager != nullptr) {
        connect(manager, &StatusBarManager::rebuilt, this, &JourneyBus::update);
        m_state = JourneyState::of(store != nullptr ? store->service() : nullptr, manager->title());
    }
}

JourneyBus::~JourneyBus() {
    if (!m_serviceName.isEmpty()) {
        m_connection.unregisterService(m_serviceName);
    }
    if (m_objectRegistered) {
        m_connection.unregisterObject(objectPath());
    }
}

bool JourneyBus::publish(const QDBusConnection& connection, const QString& serviceName, QString* error) {
    m_connection = connection;
    if (!m_connection.isConnected()) {
        *error = QStringLiteral("no session bus: %1").arg(m_connection.lastError().message());
        return false;
    }
    m_objectRegistered = m_connection.registerObject(objectPath(), this, QDBusConnection::ExportAdaptors);
    if (!m_objectRegistered) {
        *error = QStringLiteral("%1 is taken on this connection").arg(objectPath());
        return false;
    }
    if (!m_connection.registerService(serviceName)) {
        *error = QStringLiteral("%1: %2").arg(serviceName, m_connection.lastError().message());
        return false;
    }
    m_serviceName = serviceName;
    return true;
}

bool JourneyBus::selectDestination(const QString& eva) {
    const TrainService* service = m_store ? m_store->service() : nullptr;
    if (service == nullptr || !m_manager) {
        return false;
    }
    const auto& ahead = service->upcomingStops();
    if (!eva.isEmpty() &&
        std::none_of(ahead.cbegin(), ahead.cend(), [&eva](const auto& stop) { return stop.eva == eva; })) {
        return false;
    }
    m_manager->chooseDestination(eva);
    return true;
}

void JourneyBus::update(const QString& title) {
    JourneyState next = JourneyState::of(m_store ? m_store->service() : nullptr, title);
    const QVariantMap changed = changedProperties(m_state, next);
    m_state = std::move(next);
    if (changed.isEmpty() || !m_objectRegistered) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(JourneyBusNames::interface) << changed << QStringList();
    m_connection.send(signal);
}

} // namespace quendle2

#include "JourneyBus.moc"
