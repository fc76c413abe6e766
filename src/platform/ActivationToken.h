#pragma once

#include <QString>

namespace quendle2::ActivationToken {

/// What the launcher gave this process to take the focus with: Wayland's XDG_ACTIVATION_TOKEN, else X11's
/// startup id (DESKTOP_STARTUP_ID); empty when it gave neither. A second launch hands it to the running
/// instance, whose window is the one that must come forward.
QString fromLaunch();

/// Leaves `token` where the Wayland platform plugin looks when a window next asks for the focus; it takes it
/// from there, once. Without it the compositor only marks the window as wanting attention. An empty token
/// changes nothing.
void offer(const QString& token);

} // namespace quendle2::ActivationToken
