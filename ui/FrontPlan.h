// What the update screen does at a tick while the flash utility shows
// windows: they stand above it, and it stays above everything else.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace ui {

struct FrontPlan {
    // The utility's shown windows, the topmost first; none: the screen
    // covers everything.
    std::vector<platform::WindowHandle> utilityWindows;
    // Another window stands above the screen, or the screen left the topmost
    // band: it must go back to the top.
    bool coverAgain = false;
    // The utility's windows to put above the screen, the topmost first.
    std::vector<platform::WindowHandle> raise;
};

// From the top-level windows (the topmost first), the screen's own window and
// the utility's processes. No window of any other process is ever raised, and
// only the utility's windows the user can see count: visible, not minimised,
// not cloaked, not empty, and on a display.
FrontPlan PlanFront(const std::vector<platform::TopLevelWindow>& windows,
                    platform::WindowHandle screen, const std::vector<unsigned long>& utility);

}  // namespace ui
