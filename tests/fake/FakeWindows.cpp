// The double's window operations and message boxes, recorded.
#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"

namespace fake {

int FakePlatform::MessageBoxA(platform::WindowHandle owner, const std::string& text,
                              const std::string& caption, unsigned type) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("MessageBox " + caption);
    messageBoxes.push_back(MessageBoxCall{owner, text, caption, type});
    if (!messageBoxAnswers.empty()) {
        int answer = messageBoxAnswers.front();
        messageBoxAnswers.pop_front();
        return answer;
    }
    return (type & 0xF) == win::MB_YESNO ? win::IDYES : 1;
}

bool FakePlatform::InvalidateRect(platform::WindowHandle, bool erase) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record(erase ? "InvalidateRect erase" : "InvalidateRect");
    ++invalidations;
    return true;
}

namespace {
// Any window but the dialog's own is named in the trace.
std::string WindowName(platform::WindowHandle window) {
    if (window == FakePlatform::DialogWindow()) return "";
    return "window " + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + " ";
}

std::string Placement(int x, int y, int cx, int cy, unsigned flags) {
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" +
           std::to_string(cy) + " flags=" + std::to_string(flags);
}
}  // namespace

bool FakePlatform::SetWindowPos(platform::WindowHandle window, platform::ZOrder, int x, int y,
                                int cx, int cy, unsigned flags) {
    Record("SetWindowPos " + WindowName(window) + "topmost " + Placement(x, y, cx, cy, flags));
    return true;
}

std::vector<platform::WindowHandle> FakePlatform::EnumTopLevelWindows() {
    Record("EnumTopLevelWindows");
    std::vector<platform::WindowHandle> windows;
    for (const platform::TopLevelWindow& w : topLevelWindows) windows.push_back(w.window);
    return windows;
}

const platform::TopLevelWindow* FakePlatform::FindTopLevel(platform::WindowHandle window) const {
    for (const platform::TopLevelWindow& w : topLevelWindows) {
        if (w.window == window) return &w;
    }
    return nullptr;
}

unsigned long FakePlatform::GetWindowProcessId(platform::WindowHandle window) {
    Record("GetWindowProcessId " + std::to_string(reinterpret_cast<std::uintptr_t>(window)));
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w ? w->processId : 0;
}

bool FakePlatform::IsWindowVisible(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w && w->visible;
}

platform::Rect FakePlatform::GetWindowRect(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w ? w->frame : platform::Rect();
}

bool FakePlatform::IsCloaked(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w && w->cloaked;
}

bool FakePlatform::IsOnDisplay(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w && w->onDisplay;
}

bool FakePlatform::IsTopmost(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = FindTopLevel(window);
    return w && w->topmost;
}

platform::WindowHandle FakePlatform::GetForegroundWindow() { return foreground; }

bool FakePlatform::SetForegroundWindow(platform::WindowHandle window) {
    Record("SetForegroundWindow " + std::to_string(reinterpret_cast<std::uintptr_t>(window)));
    foreground = window;
    return true;
}

int FakePlatform::GetSystemMetrics(int index) {
    switch (index) {
        case win::SM_CXSCREEN:
            return screenWidth;
        case win::SM_CYSCREEN:
            return screenHeight;
        case win::SM_CXICON:
        case win::SM_CYICON:
            return 32;
        default:
            return 0;
    }
}

bool FakePlatform::SetWindowTextA(platform::WindowHandle, const std::string& text) {
    Record("SetWindowText " + text);
    return true;
}

void FakePlatform::ModifyStyleEx(platform::WindowHandle, unsigned long remove, unsigned long add) {
    Record("ModifyStyleEx -" + std::to_string(remove) + " +" + std::to_string(add));
}

void FakePlatform::CenterWindow(platform::WindowHandle) { Record("CenterWindow"); }

// iconic is the dialog's own; another window's is listed.
bool FakePlatform::IsIconic(platform::WindowHandle window) {
    const platform::TopLevelWindow* w = window == DialogWindow() ? nullptr : FindTopLevel(window);
    return w ? w->minimised : iconic;
}

bool FakePlatform::ShowWindow(platform::WindowHandle, int command) {
    Record("ShowWindow " + std::to_string(command));
    if (command == win::SW_RESTORE) iconic = false;
    return true;
}

platform::Rect FakePlatform::GetClientRect(platform::WindowHandle) {
    return iconic ? platform::Rect{0, 0, 160, 28} : platform::Rect{0, 0, screenWidth, screenHeight};
}

platform::IconHandle FakePlatform::LoadIconA(unsigned id) {
    Record("LoadIcon " + std::to_string(id));
    return reinterpret_cast<platform::IconHandle>(static_cast<std::uintptr_t>(0x2000 + id));
}

unsigned long FakePlatform::SetThreadExecutionState(unsigned long flags) {
    Record("SetThreadExecutionState " + std::to_string(flags));
    unsigned long previous = executionState;
    executionState = flags;
    if (flags == win::ES_CONTINUOUS)
        ++executionReleases;
    else
        ++executionRequests;
    return previous;
}

bool FakePlatform::ShutdownBlockReasonCreate(platform::WindowHandle, const std::u16string& reason) {
    Record("ShutdownBlockReasonCreate");
    shutdownReason = reason;
    ++shutdownReasonsCreated;
    return true;
}

bool FakePlatform::ShutdownBlockReasonDestroy(platform::WindowHandle) {
    Record("ShutdownBlockReasonDestroy");
    ++shutdownReasonsDestroyed;
    return true;
}

}  // namespace fake
