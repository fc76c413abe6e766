#pragma once

namespace quendle2 {

class AppStore;
class Clock;
class ModelContext;

/// What every view of the main window reads from its surroundings: the store's main context, the holder of
/// the live service, and the source of "now". The shell fills it once; views hand it down unchanged.
struct ViewEnvironment {
    ModelContext* context = nullptr;
    AppStore* store = nullptr;
    const Clock* clock = nullptr;
};

} // namespace quendle2
