#pragma once

#include "app/AppFlavor.h"

namespace quendle2 {

/// The one start-up path of both executables.
class AppLauncher {
public:
    /// Runs the application to its end and returns the process's exit status: 0 after a quit or after
    /// handing over to a running instance, 1 when there is no display (quendle2), no private folder for the
    /// lock, or when the store cannot be opened or the portal not prepared.
    static int run(int argc, char** argv, const AppFlavor& flavor);

    /// Whether there is a display to show windows on, or a platform chosen by hand. Without one, the demo
    /// runs on the offscreen platform and quendle2 refuses to start.
    static bool hasGraphicalSession();
};

} // namespace quendle2
