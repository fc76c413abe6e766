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
    if (daemon != nullptr && daemon->isServiceRegistered(SniStatusItem::watcherService()).value()) {
        auto item = std::make_unique<SniStatusItem>(bus, parent);
        if (item->isExported()) {
            return item;
        }
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        return std::make_unique<TrayStatusItem>(parent);
    }
    return nullptr;
}

} // namespace quendle2
