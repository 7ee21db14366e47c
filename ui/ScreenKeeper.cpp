#include "ui/ScreenKeeper.h"

#include <algorithm>

#include "platform/Scoped.h"
#include "platform/Win32Constants.h"

using platform::Os;

namespace {
// The primary display, which the screen covers.
platform::Rect PrimaryDisplay() {
    return platform::Rect{0, 0, Os().GetSystemMetrics(win::SM_CXSCREEN),
                          Os().GetSystemMetrics(win::SM_CYSCREEN)};
}

void Place(platform::WindowHandle screen, const platform::Rect& display, unsigned flags) {
    Os().SetWindowPos(screen, platform::ZOrder::Topmost, 0, 0, display.right, display.bottom,
                      flags);
}

bool Overlap(const platform::Rect& a, const platform::Rect& b) {
    return std::min(a.right, b.right) > std::max(a.left, b.left) &&
           std::min(a.bottom, b.bottom) > std::max(a.top, b.top);
}

// What the plan reads of a window of the utility, the cheap first. Asking the
// system whether a window lies on a display costs far more than the rest: it
// is asked only of a window off the display the screen covers.
void ReadUtilityWindow(platform::TopLevelWindow& w, const platform::Rect& display) {
    w.visible = Os().IsWindowVisible(w.window);
    w.minimised = w.visible && Os().IsIconic(w.window);
    if (!w.visible || w.minimised) return;
    w.frame = Os().GetWindowRect(w.window);
    w.cloaked = Os().IsCloaked(w.window);
    const platform::Rect& f = w.frame;
    const bool empty = f.left >= f.right || f.top >= f.bottom;
    w.onDisplay = !w.cloaked && !empty && (Overlap(f, display) || Os().IsOnDisplay(w.window));
}
}  // namespace

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
    const platform::Rect display = PrimaryDisplay();
    std::vector<unsigned long> utility = CopyUtilityProcesses();
    ui::FrontPlan plan;
    if (m_bUtilityShown || utility != m_arrLookedFor || m_nTicksToLook == 0) {
        if (!utility.empty()) {
            plan = ui::PlanFront(ListWindows(screen, utility, display), screen, utility);
        }
        m_bUtilityShown = !plan.utilityWindows.empty();
        m_arrLookedFor = utility;
        m_nTicksToLook = kTicksPerLook;
    }
    --m_nTicksToLook;
    if (plan.utilityWindows.empty()) {
        Place(screen, display, win::SWP_SHOWWINDOW);
    } else {
        MakeRoomFor(screen, display, plan);
    }
}

// The top-level windows with what the plan reads of them, each a call into
// the window system: every window's process (kept from one look to the
// next, as it never changes), whether the utility's
// windows and whatever stands above the screen are visible, whether the
// screen is topmost, and of the utility's visible windows, whether they are
// minimised, where they lie, whether they are cloaked and on a display.
std::vector<platform::TopLevelWindow> CScreenKeeper::ListWindows(
    platform::WindowHandle screen, const std::vector<unsigned long>& utility,
    const platform::Rect& display) {
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
            ReadUtilityWindow(w, display);
        } else if (aboveScreen) {
            w.visible = Os().IsWindowVisible(window);
        }
        windows.push_back(w);
    }
    m_mapWindowProcess.swap(processOf);
    return windows;
}

void CScreenKeeper::CoverScreen(platform::WindowHandle screen) {
    Place(screen, PrimaryDisplay(), win::SWP_SHOWWINDOW);
}

// The screen keeps the whole display and stays topmost without taking the
// focus; its place in front changes only when another window got above it.
// The utility's windows then go topmost above it, in their own order, and
// the top one gets the focus. Their threads are not ours to wait for: a hung
// utility must not stop the screen.
void CScreenKeeper::MakeRoomFor(platform::WindowHandle screen, const platform::Rect& display,
                                const ui::FrontPlan& plan) {
    const unsigned keepPlace = plan.coverAgain ? 0 : win::SWP_NOZORDER;
    Place(screen, display, win::SWP_SHOWWINDOW | win::SWP_NOACTIVATE | keepPlace);
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
