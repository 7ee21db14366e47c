// Which windows the flash utility shows, and so must stand above the screen.
#pragma once

#include <vector>

#include "platform/Types.h"

namespace ui {

// The visible top-level windows of the utility's processes, in the order
// given (the topmost first). No window of any other process is among them.
std::vector<platform::WindowHandle> UtilityWindows(
    const std::vector<platform::TopLevelWindow>& windows,
    const std::vector<unsigned long>& processIds);

}  // namespace ui
