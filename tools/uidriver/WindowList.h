// Finding top-level windows of other processes and describing them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace uidriver {

struct WindowInfo {
    HWND hwnd;
    DWORD pid;
    bool visible;
    std::wstring title;
    std::wstring className;
    RECT rect;
    LONG style;
    LONG exStyle;
};

struct WindowFilter {
    std::wstring title;
    std::wstring className;  // empty: any class
};

std::vector<WindowInfo> ListTopLevelWindows();
WindowInfo DescribeTopLevel(HWND hwnd);

// The top-level window at a point of the screen, or null.
HWND TopLevelAt(long x, long y);

// The first top-level window whose title (and class, when given) matches
// exactly, visible ones first; polls until waitMs has passed. Null if none.
HWND FindTopLevel(const WindowFilter& filter, DWORD waitMs);

// Waits until no window matches; true when none is left.
bool WaitUntilGone(const WindowFilter& filter, DWORD waitMs);

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);

}  // namespace uidriver
