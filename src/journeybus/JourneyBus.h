#pragma once

#include "journeybus/JourneyState.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>

namespace quendle2 {

class AppStore;
class JourneyBusAdaptor;
class StatusBarManager;

/// The journey on the session bus (`JourneyBusNames`: org.quendle2.Quendle2.Journey at
/// /org/quendle2/Quendle2), following the status bar manager: after each rebuild, one PropertiesChanged with
/// the values that changed.
class JourneyBus final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    /// Both are held weakly; without a manager the state stays as it was last seen.
    JourneyBus(AppStore* store, StatusBarManager* manager, QObject* parent = nullptr);
    ~JourneyBus() override;

    /// Registers the object and then `serviceName`; false with `error` set when either is refused.
    bool publish(const QDBusConnection& connection, const QString& serviceName, QString* error);

    const JourneyState& state() const { return m_state; }

    /// Empty for automatic; false when `eva` is not a stop ahead or there is no service.
    bool selectDestination(const QString& eva);

Q_SIGNALS:
    /// A caller asked for the main window.
    void showWindowRequested();

private:
    /// Refuses calls through this object's QDBusContext: Qt hands a call's context to the object that
    /// owns the adaptor, never to the adaptor.
    friend class JourneyBusAdaptor;

    void update(const QString& title);

    QPointer<AppStore> m_store;
    QPointer<StatusBarManager> m_manager;
    JourneyState m_state;
    QDBusConnection m_connection{QString()};
    QString m_serviceName;
    bool m_objectRegistered = false;
};

} // namespace quendle2
