#pragma once

#include <QIcon>

namespace quendle2::ViewIcons {

/// The desktop theme's gear, or ours when the theme has none.
QIcon settings();
/// The desktop theme's save-as; none when the theme has none, as the entry reads well without.
QIcon exportTrip();
/// The desktop theme's trash, or ours when the theme has none.
QIcon deleteTrip();

} // namespace quendle2::ViewIcons
