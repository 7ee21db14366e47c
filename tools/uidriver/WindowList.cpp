#include "tools/uidriver/WindowList.h"

namespace uidriver {

namespace {

const DWORD kPollMs = 50;

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<WindowInfo>*>(param)->push_back(DescribeTopLevel(hwnd));
    return TRUE;
}

HWND FindOnce(const WindowFilter& filter) {
    HWND hidden = nullptr;
    for (const WindowInfo& w : ListTopLevelWindows()) {
        if (w.title != filter.title) continue;
        if (!filter.className.empty() && w.className != filter.className) continue;
        if (w.visible) return w.hwnd;
        if (!hidden) hidden = w.hwnd;
    }
    return hidden;
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buffer[256] = {};
    int copied = GetClassNameW(hwnd, buffer, 256);
    return std::wstring(buffer, copied > 0 ? static_cast<size_t>(copied) : 0);
}

WindowInfo DescribeTopLevel(HWND hwnd) {
    WindowInfo info = {};
    info.hwnd = hwnd;
    GetWindowThreadProcessId(hwnd, &info.pid);
    info.visible = IsWindowVisible(hwnd) != FALSE;
    info.title = WindowText(hwnd);
    info.className = ClassName(hwnd);
    GetWindowRect(hwnd, &info.rect);
    info.style = GetWindowLongW(hwnd, GWL_STYLE);
    info.exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    return info;
}

HWND TopLevelAt(long x, long y) {
    HWND hwnd = WindowFromPoint(POINT{x, y});
    return hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
}

std::vector<WindowInfo> ListTopLevelWindows() {
    std::vector<WindowInfo> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindTopLevel(const WindowFilter& filter, DWORD waitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND hwnd = FindOnce(filter);
        if (hwnd || GetTickCount() - start >= waitMs) return hwnd;
        Sleep(kPollMs);
    }
}

bool WaitUntilGone(const WindowFilter& filter, DWORD waitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (!FindOnce(filter)) return true;
        if (GetTickCount() - start >= waitMs) return false;
        Sleep(kPollMs);
    }
}

}  // namespace uidriver
