// Windows, messages, timers, placement and message boxes.
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

int Win32Platform::MessageBoxA(WindowHandle owner, const std::string& text,
                               const std::string& caption, unsigned type) {
    return ::MessageBoxA(ToHwnd(owner), text.c_str(), caption.c_str(), type);
}

Lresult Win32Platform::SendMessageA(WindowHandle window, unsigned message, Wparam wParam,
                                    Lparam lParam) {
    return ::SendMessageA(ToHwnd(window), message, wParam, lParam);
}

bool Win32Platform::PostMessageA(WindowHandle window, unsigned message, Wparam wParam,
                                 Lparam lParam) {
    return ::PostMessageA(ToHwnd(window), message, wParam, lParam) != FALSE;
}

void Win32Platform::PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

bool Win32Platform::TakeQuitRequest() {
    MSG msg = {};
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

bool Win32Platform::SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) {
    return ::SetTimer(ToHwnd(window), id, milliseconds, nullptr) != 0;
}

bool Win32Platform::KillTimer(WindowHandle window, unsigned id) {
    return ::KillTimer(ToHwnd(window), id) != FALSE;
}

bool Win32Platform::InvalidateRect(WindowHandle window, bool erase) {
    return ::InvalidateRect(ToHwnd(window), nullptr, erase ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::SetWindowPos(WindowHandle window, ZOrder insertAfter, int x, int y, int cx,
                                 int cy, unsigned flags) {
    HWND after = HWND_TOPMOST;
    switch (insertAfter) {
        case ZOrder::Topmost:
            after = HWND_TOPMOST;
            break;
    }
    return ::SetWindowPos(ToHwnd(window), after, x, y, cx, cy, flags) != FALSE;
}

namespace {
BOOL CALLBACK AddTopLevelWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(FromHwnd(window));
    return TRUE;
}
}  // namespace

std::vector<WindowHandle> Win32Platform::EnumTopLevelWindows() {
    std::vector<WindowHandle> windows;
    ::EnumWindows(AddTopLevelWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

unsigned long Win32Platform::GetWindowProcessId(WindowHandle window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(ToHwnd(window), &processId);
    return processId;
}

bool Win32Platform::IsWindowVisible(WindowHandle window) {
    return ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

Rect Win32Platform::GetWindowRect(WindowHandle window) {
    RECT frame = {};
    if (!::GetWindowRect(ToHwnd(window), &frame)) return Rect();
    return Rect{frame.left, frame.top, frame.right, frame.bottom};
}

// dwmapi.dll is not there before Windows Vista: it is looked for once, by its
// full path, never imported.
bool Win32Platform::IsCloaked(WindowHandle window) {
    using Function = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
    static const Function getAttribute =
        GetFunction<Function>(LoadSystemLibrary("dwmapi.dll"), "DwmGetWindowAttribute");
    constexpr DWORD kCloaked = 14;  // DWMWA_CLOAKED
    DWORD cloaked = 0;
    return getAttribute &&
           SUCCEEDED(getAttribute(ToHwnd(window), kCloaked, &cloaked, sizeof(cloaked))) &&
           cloaked != 0;
}

bool Win32Platform::IsOnDisplay(WindowHandle window) {
    return ::MonitorFromWindow(ToHwnd(window), MONITOR_DEFAULTTONULL) != nullptr;
}

bool Win32Platform::IsTopmost(WindowHandle window) {
    return (::GetWindowLongA(ToHwnd(window), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

WindowHandle Win32Platform::GetForegroundWindow() { return FromHwnd(::GetForegroundWindow()); }

bool Win32Platform::SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(ToHwnd(window)) != FALSE;
}

int Win32Platform::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

bool Win32Platform::SetWindowTextA(WindowHandle window, const std::string& text) {
    return ::SetWindowTextA(ToHwnd(window), text.c_str()) != FALSE;
}

void Win32Platform::ModifyStyleEx(WindowHandle window, unsigned long remove, unsigned long add) {
    HWND hwnd = ToHwnd(window);
    LONG style = ::GetWindowLongA(hwnd, GWL_EXSTYLE);
    LONG changed = static_cast<LONG>((static_cast<unsigned long>(style) & ~remove) | add);
    if (changed != style) ::SetWindowLongA(hwnd, GWL_EXSTYLE, changed);
}

void Win32Platform::CenterWindow(WindowHandle window) {
    HWND hwnd = ToHwnd(window);
    RECT frame = {};
    if (!::GetWindowRect(hwnd, &frame)) return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoA(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& area = monitor.rcWork;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;
    // Keep it inside the work area; the top-left corner wins when it is too big.
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
    ::SetWindowPos(hwnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32Platform::IsIconic(WindowHandle window) { return ::IsIconic(ToHwnd(window)) != FALSE; }

bool Win32Platform::ShowWindow(WindowHandle window, int command) {
    return ::ShowWindow(ToHwnd(window), command) != FALSE;
}

Rect Win32Platform::GetClientRect(WindowHandle window) {
    RECT client = {};
    ::GetClientRect(ToHwnd(window), &client);
    return Rect{client.left, client.top, client.right, client.bottom};
}

IconHandle Win32Platform::LoadIconA(unsigned id) {
    return FromHicon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)));
}

unsigned long Win32Platform::SetThreadExecutionState(unsigned long flags) {
    return ::SetThreadExecutionState(flags);
}

bool Win32Platform::ShutdownBlockReasonCreate(WindowHandle window, const std::u16string& reason) {
    using Function = BOOL(WINAPI*)(HWND, LPCWSTR);
    auto create = GetSystemFunction<Function>("user32.dll", "ShutdownBlockReasonCreate");
    if (!create) return false;
    std::wstring text(reason.begin(), reason.end());
    return create(ToHwnd(window), text.c_str()) != FALSE;
}

bool Win32Platform::ShutdownBlockReasonDestroy(WindowHandle window) {
    using Function = BOOL(WINAPI*)(HWND);
    auto destroy = GetSystemFunction<Function>("user32.dll", "ShutdownBlockReasonDestroy");
    if (!destroy) return false;
    return destroy(ToHwnd(window)) != FALSE;
}

}  // namespace platform
