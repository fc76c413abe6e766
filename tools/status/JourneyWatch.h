#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusPendingCallWatcher;

namespace quendle2::status {

/// Follows the journey a running quendle2 publishes on the session bus: all its properties once the
/// application is there, then each change.
class JourneyWatch final : public QObject {
    Q_OBJECT
public:
    JourneyWatch(const QDBusConnection& bus, const QString& service, QObject* parent = nullptr);

    /// Looks for the application; the answer comes as `changed` or `absent`.
    void start();

Q_SIGNALS:
    /// Every property, after the first read and after each change.
    void changed(const QVariantMap& journey);
    /// The application is not on the bus, or has just left it.
    void absent();

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& values,
                           const QStringList& invalidated);

private:
    void readAll();
    void ownerChanged(const QString& newOwner);

    QDBusConnection m_bus;
    QString m_service;
    QVariantMap m_journey;
    bool m_read = false;
};

} // namespace quendle2::status
