#pragma once

#include "app/AppFlavor.h"

namespace quendle2 {

/// The one start-up path of both executables.
class AppLauncher {
public:
    /// Runs the application to its end and returns the process's exit status: 0 after a quit or after
    /// handing over to a running instance, 1 when the store cannot be opened or the portal not prepared.
    static int run(int argc, char** argv, const AppFlavor& flavor);

    /// No display at all (a server, a CI runner): the offscreen platform, so the application still runs
    /// with its status item on D-Bus and its windows unseen.
    static void chooseHeadlessPlatformIfNeeded();
};

} // namespace quendle2
