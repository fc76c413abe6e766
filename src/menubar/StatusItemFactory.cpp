#include "menubar/StatusItemFactory.h"

#include "menubar/SwitchingStatusItem.h"

namespace quendle2 {

std::unique_ptr<StatusItem> createStatusItem(QObject* parent) {
    auto item = std::make_unique<SwitchingStatusItem>(QDBusConnection::sessionBus(),
                                                      SwitchingStatusItem::desktopBackends(), parent);
    if (item->backend() == SwitchingStatusItem::Backend::None) {
        return nullptr;
    }
    return item;
}

} // namespace quendle2
