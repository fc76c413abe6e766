#include "JourneyWatch.h"

#include "platform/JourneyBusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>

namespace quendle2::status {

namespace {

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

JourneyWatch::JourneyWatch(const QDBusConnection& bus, const QString& service, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_service(service) {}

void JourneyWatch::start() {
    auto* watcher = new QDBusServiceWatcher(m_service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { ownerChanged(newOwner); });
    // Subscribed before the first read, so that no change between the two is missed.
    m_bus.connect(m_service, QString::fromLatin1(JourneyBusNames::objectPath), propertiesInterface,
                  QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    const QDBusReply<bool> registered = m_bus.interface()->isServiceRegistered(m_service);
    if (registered.isValid() && registered.value()) {
        readAll();
    } else {
        QMetaObject::invokeMethod(this, &JourneyWatch::absent, Qt::QueuedConnection);
    }
}

void JourneyWatch::readAll() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_service, QString::fromLatin1(JourneyBusNames::objectPath),
                                       propertiesInterface, QStringLiteral("GetAll"));
    call << QString::fromLatin1(JourneyBusNames::interface);
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *finished;
        if (reply.isError()) {
            // Gone between the look and the read, or not the application we know.
            m_read = false;
            Q_EMIT absent();
            return;
        }
        m_journey = reply.value();
        m_read = true;
        Q_EMIT changed(m_journey);
    });
}

void JourneyWatch::ownerChanged(const QString& newOwner) {
    m_read = false;
    m_journey.clear();
    if (newOwner.isEmpty()) {
        Q_EMIT absent();
    } else {
        readAll();
    }
}

void JourneyWatch::propertiesChanged(const QString& interface, const QVariantMap& values,
                                     const QStringList& invalidated) {
    // Before the first read, the read's answer is newer than any change sent ahead of it.
    if (interface != QLatin1String(JourneyBusNames::interface) || !m_read) {
        return;
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        m_journey.insert(it.key(), it.value());
    }
    if (!invalidated.isEmpty()) {
        readAll();
        return;
    }
    Q_EMIT changed(m_journey);
}

} // namespace quendle2::status
