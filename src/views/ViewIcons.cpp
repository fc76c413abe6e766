#include "views/ViewIcons.h"

namespace quendle2::ViewIcons {

using namespace Qt::Literals::StringLiterals;

QIcon settings() {
    for (const QString& name : {u"preferences-system"_s, u"emblem-system"_s, u"settings-configure"_s}) {
        if (QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    // Grey, so that it reads on light and dark palettes alike.
    return QIcon(u":/views/icons/settings.svg"_s);
}

QIcon exportTrip() {
    return QIcon::fromTheme(u"document-save-as"_s);
}

QIcon deleteTrip() {
    return QIcon::fromTheme(u"user-trash"_s, QIcon(u":/views/icons/trash.svg"_s));
}

} // namespace quendle2::ViewIcons
