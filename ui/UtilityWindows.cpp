#include "ui/UtilityWindows.h"

#include <algorithm>

namespace ui {

std::vector<platform::WindowHandle> UtilityWindows(
    const std::vector<platform::TopLevelWindow>& windows,
    const std::vector<unsigned long>& processIds) {
    std::vector<platform::WindowHandle> found;
    for (const platform::TopLevelWindow& w : windows) {
        if (w.visible &&
            std::find(processIds.begin(), processIds.end(), w.processId) != processIds.end()) {
            found.push_back(w.window);
        }
    }
    return found;
}

}  // namespace ui
