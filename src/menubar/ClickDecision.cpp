#include "menubar/ClickDecision.h"

#include <algorithm>

namespace quendle2 {

ClickDecision ClickDecision::decide(bool applicationActive, const QList<Window>& userWindows) {
    const bool hasVisible = std::any_of(userWindows.begin(), userWindows.end(),
                                        [](const Window& w) { return w.visible && !w.minimized; });
    if (applicationActive && hasVisible) {
        return {Action::HideApplication, true, false};
    }
    if (!userWindows.isEmpty()) {
        return {Action::ShowFirstWindow, hasVisible, userWindows.first().minimized};
    }
    return {Action::RequestMainWindow, false, false};
}

} // namespace quendle2
