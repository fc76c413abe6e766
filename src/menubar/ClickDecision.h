#pragma once

#include <QList>

namespace quendle2 {

/// What a click on the status item does, decided from the application's state at that moment.
struct ClickDecision {
    enum class Action {
        HideApplication,   ///< frontmost with a window on screen: get out of the way
        ShowFirstWindow,   ///< bring the first user window back (restoring it when minimised)
        RequestMainWindow, ///< no window at all: ask for a new main window
    };

    struct Window {
        bool visible = false;
        bool minimized = false;
    };

    Action action;
    bool hasVisibleWindow;
    bool restoreFirstWindow;

    /// `userWindows` in the application's window order.
    static ClickDecision decide(bool applicationActive, const QList<Window>& userWindows);
};

} // namespace quendle2
