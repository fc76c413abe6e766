#include "menubar/SwitchingStatusItem.h"

#include "menubar/SniStatusItem.h"
#include "menubar/TrayStatusItem.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>

namespace quendle2 {

SwitchingStatusItem::Backends SwitchingStatusItem::desktopBackends() {
    return {
        [](const QDBusConnection& connection) -> std::unique_ptr<StatusItem> {
            auto item = std::make_unique<SniStatusItem>(connection);
            return item->isExported() ? std::move(item) : nullptr;
        },
        [] { return std::make_unique<TrayStatusItem>(); },
        [] { return QSystemTrayIcon::isSystemTrayAvailable(); },
    };
}

SwitchingStatusItem::Backend SwitchingStatusItem::choose(bool busConnected, bool watcherPresent,
                                                         bool trayAvailable) {
    if (busConnected && watcherPresent) {
        return Backend::StatusNotifierItem;
    }
    if (trayAvailable) {
        return Backend::Tray;
    }
    // An item on the bus registers itself as soon as a watcher appears, which is what happens when the
    // application starts at login before the panel.
    return busConnected ? Backend::StatusNotifierItem : Backend::None;
}

SwitchingStatusItem::SwitchingStatusItem(const QDBusConnection& connection, Backends backends,
                                         QObject* parent)
    : StatusItem(parent)
    , m_connection(connection)
    , m_backends(std::move(backends)) {
    bool watcherPresent = false;
    if (m_connection.isConnected()) {
        // Watched before the first look, so that a watcher starting in between is not missed.
        m_watcherWatch = new QDBusServiceWatcher(SniStatusItem::watcherService(), m_connection,
                                                 QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(
            m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { follow(!newOwner.isEmpty()); });
        watcherPresent =
            m_connection.interface()->isServiceRegistered(SniStatusItem::watcherService()).value();
    }
    follow(watcherPresent);
}

SwitchingStatusItem::~SwitchingStatusItem() = default;

void SwitchingStatusItem::follow(bool watcherPresent) {
    const Backend wanted = choose(m_connection.isConnected(), watcherPresent, m_backends.trayAvailable());
    if (wanted == m_backend && m_current) {
        return;
    }
    std::unique_ptr<StatusItem> next;
    if (wanted == Backend::StatusNotifierItem) {
        next = m_backends.statusNotifierItem(m_connection);
    } else if (wanted == Backend::Tray) {
        next = m_backends.tray();
    }
    if (!next) {
        // Keep what there is rather than nothing: a tray icon that may still be seen, or an item that
        // registers when a watcher comes.
        if (!m_current) {
            m_backend = Backend::None;
        }
        return;
    }
    const bool wasHosted = isHosted();
    next->setTitle(m_title);
    next->setWarning(m_warning);
    next->setMenu(menu());
    connect(next.get(), &StatusItem::clicked, this, &StatusItem::clicked);
    connect(next.get(), &StatusItem::destinationChosen, this, &StatusItem::destinationChosen);
    connect(next.get(), &StatusItem::quitRequested, this, &StatusItem::quitRequested);
    connect(next.get(), &StatusItem::hostedChanged, this, &StatusItem::hostedChanged);
    m_current = std::move(next);
    m_backend = wanted;
    // An item just offered to a watcher says itself when the watcher has taken it; reporting "no host" in
    // between would only make the window flash its hint.
    const bool registering = wanted == Backend::StatusNotifierItem && watcherPresent;
    if (isHosted() != wasHosted && !registering) {
        Q_EMIT hostedChanged(isHosted());
    }
}

void SwitchingStatusItem::setTitle(const QString& title) {
    m_title = title;
    if (m_current) {
        m_current->setTitle(title);
    }
}

void SwitchingStatusItem::setWarning(const QString& warning) {
    m_warning = warning;
    if (m_current) {
        m_current->setWarning(warning);
    }
}

void SwitchingStatusItem::showMenu(const JourneyMenu& menu) {
    if (m_current) {
        m_current->setMenu(menu);
    }
}

bool SwitchingStatusItem::isHosted() const {
    return m_current && m_current->isHosted();
}

QString SwitchingStatusItem::takeActivationToken() {
    return m_current ? m_current->takeActivationToken() : QString();
}

} // namespace quendle2
