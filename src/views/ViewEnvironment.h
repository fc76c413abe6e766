#pragma once

#include "platform/Clock.h"

namespace quendle2 {

class AppStore;
class ModelContext;

/// What every view of the main window reads from its surroundings: the store's main context, the holder of
/// the live service, and the source of "now". The shell fills it once; views hand it down unchanged.
struct ViewEnvironment {
    ModelContext* context = nullptr;
    AppStore* store = nullptr;
    const Clock* clock = nullptr;

    /// The injected clock, or the system's where none was given.
    const Clock& clockOrSystem() const { return clock != nullptr ? *clock : Clock::system(); }
};

} // namespace quendle2
