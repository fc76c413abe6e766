#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace quendle2 {

/// The freedesktop icon name the application's icon is installed under; hosts that find it in their icon
/// theme prefer it to the pixels we send.
QString appIconName();

/// A folder for the item's IconThemePath when the icon is not installed where icon themes look (a build
/// tree, an unpacked archive): it holds the icon under hicolor and at its top, written there once. Empty
/// when the icon is installed, or when the folder cannot be written.
QString appIconThemePath();

/// The icon's SVG among the application's resources.
QString appIconResource();

/// The icon drawn on a transparent square of `size` pixels; a null image if the resource is missing.
QImage renderAppIcon(int size);

/// The icon for widgets, drawn at the sizes panels and menus ask for so no size is scaled from another.
QIcon appIcon();

} // namespace quendle2
