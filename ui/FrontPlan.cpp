#include "ui/FrontPlan.h"

#include <algorithm>

namespace ui {

namespace {
bool Shown(const platform::TopLevelWindow& w) {
    const platform::Rect& f = w.frame;
    return w.visible && !w.minimised && !w.cloaked && f.left < f.right && f.top < f.bottom &&
           w.onDisplay;
}
}  // namespace

FrontPlan PlanFront(const std::vector<platform::TopLevelWindow>& windows,
                    platform::WindowHandle screen, const std::vector<unsigned long>& utility) {
    FrontPlan plan;
    bool belowScreen = false;
    bool screenFound = false;
    for (const platform::TopLevelWindow& w : windows) {
        if (w.window == screen) {
            belowScreen = screenFound = true;
            plan.coverAgain = plan.coverAgain || !w.topmost;
            continue;
        }
        if (!w.visible) continue;
        if (std::find(utility.begin(), utility.end(), w.processId) == utility.end()) {
            plan.coverAgain = plan.coverAgain || !belowScreen;
            continue;
        }
        if (!Shown(w)) continue;
        plan.utilityWindows.push_back(w.window);
        if (belowScreen) plan.raise.push_back(w.window);
    }
    // Back at the top, the screen covers the utility's windows too.
    if (plan.coverAgain || !screenFound) {
        plan.coverAgain = true;
        plan.raise = plan.utilityWindows;
    }
    return plan;
}

}  // namespace ui
