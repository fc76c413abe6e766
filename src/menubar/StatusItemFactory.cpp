#include "menubar/StatusItemFactory.h"

#include "menubar/SniStatusItem.h"
#include "menubar/TrayStatusItem.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>

namespace quendle2 {

std::unique_ptr<StatusItem> createStatusItem(QObject* parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    const auto onTheBus = [&]() -> std::unique_ptr<StatusItem> {
        auto item = std::make_unique<SniStatusItem>(bus, parent);
        return item->isExported() ? std::move(item) : nullptr;
    };
    if (daemon != nullptr && daemon->isServiceRegistered(SniStatusItem::watcherService()).value()) {
        if (auto item = onTheBus()) {
            return item;
        }
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        return std::make_unique<TrayStatusItem>(parent);
    }
    // Nothing hosts items yet. An item on the bus registers itself as soon as a watcher appears, which is
    // what happens when the application starts at login before the panel.
    return daemon != nullptr ? onTheBus() : nullptr;
}

} // namespace quendle2
