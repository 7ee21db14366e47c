#include "ui/ScreenKeeper.h"

#include <algorithm>

#include "platform/Scoped.h"
#include "platform/Win32Constants.h"

using platform::Os;

CScreenKeeper::CScreenKeeper() : m_pProcessLock(Os().CreateLock()) {}

void CScreenKeeper::ShowUtilityProcesses(const std::vector<unsigned long>& processIds) {
    platform::ScopedLock hold(*m_pProcessLock);
    m_arrUtilityProcesses = processIds;
}

std::vector<unsigned long> CScreenKeeper::CopyUtilityProcesses() const {
    platform::ScopedLock hold(*m_pProcessLock);
    return m_arrUtilityProcesses;
}

// In front of everything but the flash utility's own windows, which the user
// must see and answer.
// A look at the windows costs calls into the window system, so while the
// utility shows nothing it comes at every third tick, and at once when the
// utility's processes change; the ticks between cover the screen as without
// a utility. While it shows a window every tick looks: a raise may land late,
// or the screen's own activation come after it, and the window must not stay
// under the screen.
void CScreenKeeper::KeepInFront(platform::WindowHandle screen) {
    std::vector<unsigned long> utility = CopyUtilityProcesses();
    ui::FrontPlan plan;
    if (m_bUtilityShown || utility != m_arrLookedFor || m_nTicksToLook == 0) {
        if (!utility.empty()) plan = ui::PlanFront(ListWindows(screen, utility), screen, utility);
        m_bUtilityShown = !plan.utilityWindows.empty();
        m_arrLookedFor = utility;
        m_nTicksToLook = kTicksPerLook;
    }
    --m_nTicksToLook;
    if (plan.utilityWindows.empty()) {
        CoverScreen(screen);
    } else {
        MakeRoomFor(screen, plan);
    }
}

// The top-level windows with what the plan reads of them, each a call into
// the window system: every window's process (kept from one look to the
// next, as it never changes), whether the utility's
// windows and whatever stands above the screen are visible, whether the
// screen is topmost, and of the utility's visible windows, whether they are
// minimised, where they lie, whether they are cloaked and on a display.
std::vector<platform::TopLevelWindow> CScreenKeeper::ListWindows(
    platform::WindowHandle screen, const std::vector<unsigned long>& utility) {
    std::map<platform::WindowHandle, unsigned long> processOf;
    std::vector<platform::TopLevelWindow> windows;
    bool aboveScreen = true;
    for (platform::WindowHandle window : Os().EnumTopLevelWindows()) {
        auto known = m_mapWindowProcess.find(window);
        platform::TopLevelWindow w;
        w.window = window;
        w.processId =
            known != m_mapWindowProcess.end() ? known->second : Os().GetWindowProcessId(window);
        processOf[window] = w.processId;
        if (window == screen) {
            w.topmost = Os().IsTopmost(window);
            aboveScreen = false;
        } else if (std::find(utility.begin(), utility.end(), w.processId) != utility.end()) {
            w.visible = Os().IsWindowVisible(window);
            w.minimised = w.visible && Os().IsIconic(window);
            if (w.visible && !w.minimised) {
                w.frame = Os().GetWindowRect(window);
                w.cloaked = Os().IsCloaked(window);
                // The dearest read, only where it can matter.
                const platform::Rect& f = w.frame;
                w.onDisplay =
                    !w.cloaked && f.left < f.right && f.top < f.bottom && Os().IsOnDisplay(window);
            }
        } else if (aboveScreen) {
            w.visible = Os().IsWindowVisible(window);
        }
        windows.push_back(w);
    }
    m_mapWindowProcess.swap(processOf);
    return windows;
}

void CScreenKeeper::CoverScreen(platform::WindowHandle screen) {
    Os().SetWindowPos(screen, platform::ZOrder::Topmost, 0, 0,
                      Os().GetSystemMetrics(win::SM_CXSCREEN),
                      Os().GetSystemMetrics(win::SM_CYSCREEN), win::SWP_SHOWWINDOW);
}

// The screen keeps the whole display and stays topmost without taking the
// focus; its place in front changes only when another window got above it.
// The utility's windows then go topmost above it, in their own order, and
// the top one gets the focus. Their threads are not ours to wait for: a hung
// utility must not stop the screen.
void CScreenKeeper::MakeRoomFor(platform::WindowHandle screen, const ui::FrontPlan& plan) {
    const unsigned keepPlace = plan.coverAgain ? 0 : win::SWP_NOZORDER;
    Os().SetWindowPos(screen, platform::ZOrder::Topmost, 0, 0,
                      Os().GetSystemMetrics(win::SM_CXSCREEN),
                      Os().GetSystemMetrics(win::SM_CYSCREEN),
                      win::SWP_SHOWWINDOW | win::SWP_NOACTIVATE | keepPlace);
    for (auto w = plan.raise.rbegin(); w != plan.raise.rend(); ++w) {
        Os().SetWindowPos(
            *w, platform::ZOrder::Topmost, 0, 0, 0, 0,
            win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOACTIVATE | win::SWP_ASYNCWINDOWPOS);
    }
    platform::WindowHandle focus = Os().GetForegroundWindow();
    const std::vector<platform::WindowHandle>& shown = plan.utilityWindows;
    if (std::find(shown.begin(), shown.end(), focus) == shown.end()) {
        Os().SetForegroundWindow(shown.front());
    }
}
