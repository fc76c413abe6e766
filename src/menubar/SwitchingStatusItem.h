#pragma once

#include "menubar/StatusItem.h"

#include <QDBusConnection>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace quendle2 {

/// The status item that follows the desktop: a StatusNotifierItem while a StatusNotifierWatcher is on the
/// session bus, the tray icon while it is not and a tray runs, and again the StatusNotifierItem (waiting for
/// a watcher) when neither does. Panels come and go (a login race, XFCE's panel hosting both kinds, a
/// restarted shell); the title, the warning and the menu move along with each switch.
class SwitchingStatusItem final : public StatusItem {
    Q_OBJECT
public:
    enum class Backend { None, StatusNotifierItem, Tray };

    struct Backends {
        std::function<std::unique_ptr<StatusItem>(const QDBusConnection&)> statusNotifierItem;
        std::function<std::unique_ptr<StatusItem>()> tray;
        std::function<bool()> trayAvailable;
    };

    /// The real backends: SniStatusItem, TrayStatusItem, and QSystemTrayIcon's own test for a tray.
    static Backends desktopBackends();
    /// Which backend fits: the first of those above that the desktop has.
    static Backend choose(bool busConnected, bool watcherPresent, bool trayAvailable);

    explicit SwitchingStatusItem(const QDBusConnection& connection, Backends backends = desktopBackends(),
                                 QObject* parent = nullptr);
    ~SwitchingStatusItem() override;

    void setTitle(const QString& title) override;
    QString title() const override { return m_title; }
    void setWarning(const QString& warning) override;
    QString warning() const override { return m_warning; }
    bool isHosted() const override;
    QString takeActivationToken() override;

    Backend backend() const { return m_backend; }
    StatusItem* current() const { return m_current.get(); }

protected:
    void showMenu(const JourneyMenu& menu) override;

private:
    void follow(bool watcherPresent);

    QDBusConnection m_connection;
    Backends m_backends;
    QDBusServiceWatcher* m_watcherWatch = nullptr;
    std::unique_ptr<StatusItem> m_current;
    Backend m_backend = Backend::None;
    QString m_title;
    QString m_warning;
};

} // namespace quendle2
