#pragma once

#include "platform/Clock.h"

#include <QString>

#include <functional>

class QObject;

namespace quendle2 {

class ModelContext;
class TrainService;

/// What tells the real application and the demo apart; everything else is one code path.
struct AppFlavor {
    /// Makes the connected service on the store's main context.
    using ServiceFactory = std::function<TrainService*(ModelContext* context)>;

    /// Also the data folder's name (~/.local/share/<name>) and the single-instance key.
    QString applicationName;
    QString displayName;
    /// The well-known name of the journey on the session bus; the demo's differs so that both can run.
    QString busName;
    /// Whether, with no display at all, the flavour runs on Qt's offscreen platform (the demo, for terminals
    /// and tests) rather than refusing to start: an invisible application holding the single-instance lock
    /// would swallow every later launch from the desktop.
    bool runsWithoutDisplay = false;
    /// "Now" for the status item and the windows, read from the time `preparePortal` returns; it must outlive
    /// the application. The demo's runs at the pace its journey plays, and its connected service must read
    /// the same one.
    const Clock* clock = &Clock::system();
    /// Called once the application object exists and the store is open; `owner` lives as long as the
    /// application, `store` is the store's main context. Returns the factory of the connected service, or an
    /// empty function with `error` set when the portal cannot be reached at all (the demo's simulator failing
    /// to listen).
    std::function<ServiceFactory(QObject* owner, ModelContext* store, QString* error)> preparePortal;
};

} // namespace quendle2
