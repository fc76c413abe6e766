#pragma once

#include "menubar/DBusMenuExporter.h"
#include "menubar/StatusItem.h"

#include <QDBusConnection>
#include <QString>

#include <optional>

class QDBusServiceWatcher;

namespace quendle2 {

class SniItemAdaptor;

/// The status item as a StatusNotifierItem with a com.canonical.dbusmenu menu: what KDE Plasma, GNOME's
/// AppIndicator extension, Waybar and most other Linux panels host. Hosts find items through
/// org.kde.StatusNotifierWatcher; the item registers there at start and again whenever a watcher appears.
class SniStatusItem final : public StatusItem {
    Q_OBJECT
public:
    static QString watcherService() { return QStringLiteral("org.kde.StatusNotifierWatcher"); }
    static QString watcherPath() { return QStringLiteral("/StatusNotifierWatcher"); }
    static QString itemInterface() { return QStringLiteral("org.kde.StatusNotifierItem"); }
    static QString itemPath() { return QStringLiteral("/StatusNotifierItem"); }
    static QString menuPath() { return QStringLiteral("/MenuBar"); }
    /// The widest title a journey realistically shows, which hosts reserve room for.
    static QString labelGuide() { return QStringLiteral("\U0001F684 888 km/h 88h 88m (+888) \U0001F7E2"); }

    /// Publishes the item on `connection`; the session bus unless a test brings its own.
    explicit SniStatusItem(const QDBusConnection& connection = QDBusConnection::sessionBus(),
                           QObject* parent = nullptr);
    ~SniStatusItem() override;

    /// Sends the change to the hosts; an unchanged title sends nothing.
    void setTitle(const QString& title) override;
    QString title() const override { return m_title; }
    /// Goes into the tooltip's description.
    void setWarning(const QString& warning) override;
    QString warning() const override { return m_warning; }
    /// Registered with a StatusNotifierWatcher (which stands for the desktop's panels).
    bool isHosted() const override { return m_hosted.value_or(false); }
    QString takeActivationToken() override;

    /// The item's bus name, org.kde.StatusNotifierItem-<pid>-<n>.
    QString serviceName() const { return m_serviceName; }
    /// Whether the bus name and both objects are published; a host can show the item only then.
    bool isExported() const;

Q_SIGNALS:
    /// A watcher accepted the item's registration.
    void registeredWithWatcher();

protected:
    void showMenu(const JourneyMenu& menu) override;

private:
    friend class SniItemAdaptor;

    /// Fresh ids for every entry but "Open" and "Quit", so that a click on an entry of an older layout is
    /// refused rather than taken for whatever now sits at its place.
    QList<DBusMenuExporter::Entry> menuEntries(const JourneyMenu& menu);

    void registerWithWatcher();
    void setHosted(bool hosted);

    QDBusConnection m_connection;
    QString m_serviceName;
    QString m_title;
    QString m_warning;
    QString m_activationToken;
    SniItemAdaptor* m_adaptor = nullptr;
    DBusMenuExporter* m_menu = nullptr;
    int m_lastMenuId = 2;
    QDBusServiceWatcher* m_watcherWatch = nullptr;
    bool m_objectRegistered = false;
    bool m_serviceRegistered = false;
    /// Unknown until the first registration has an answer, which is told even when it is "no".
    std::optional<bool> m_hosted;
};

} // namespace quendle2
