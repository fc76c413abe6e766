#pragma once

#include <QString>

class QWidget;

namespace quendle2 {

/// Gives the focus to `window`, which is on screen, as the user asked through another program (a click on
/// the status item, a second launch). `token` is what that program got for the user's action: on Wayland an
/// xdg-activation token, on X11 a startup id whose launch time lets the window manager allow the focus
/// change and whose startup notification (the launcher's busy cursor) ends here. Empty for none.
void activateWindow(QWidget* window, const QString& token);

} // namespace quendle2
