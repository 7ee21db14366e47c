// floor.exe: the least the update screen costs. Each 100 ms tick it does the
// screen work of the update screen and nothing else: the window re-asserted
// topmost and full screen, invalidated, and painted by composing the
// 640x480 picture off-screen (background, marker piece, status line) and
// copying it to the window in one piece. The benchmark compares
// BIOSUpdate.exe with it.
//
//   floor.exe naive|lean SECONDS
//
// naive: every paint copies the whole background onto the canvas;
// lean:  every paint restores only the areas paints draw on (the track's
//        interior rows and the status rectangle).
// The process ends after SECONDS (default 60).
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const int kWidth = 640;
const int kHeight = 480;
const int kMarkerTop = 354;
const int kMarkerHeight = 9;
const int kTrackInteriorLeft = 257;
const int kTrackInteriorWidth = 122;
const RECT kStatusRect = {0, 310, kWidth, 335};
const UINT_PTR kAnimateTimer = 2053;
const UINT_PTR kEndTimer = 1;
const char kStatus[] = "BIOS is updating now. This will take approximately 3 minutes to completion";

struct Floor {
    bool lean = false;
    int step = 0;
    HDC background = nullptr;
    HDC piece = nullptr;
    HDC canvas = nullptr;
    HGDIOBJ previous[3] = {};
    HBITMAP bitmaps[3] = {};
};

Floor g_floor;

HDC MemoryDc(HDC screen, HBITMAP bitmap, HGDIOBJ& previous) {
    HDC dc = ::CreateCompatibleDC(screen);
    previous = ::SelectObject(dc, bitmap);
    return dc;
}

void Setup(HWND window) {
    HINSTANCE module = ::GetModuleHandleA(nullptr);
    HDC screen = ::GetDC(window);
    g_floor.bitmaps[0] = ::LoadBitmapA(module, MAKEINTRESOURCEA(135));
    g_floor.bitmaps[1] = ::LoadBitmapA(module, MAKEINTRESOURCEA(132));
    g_floor.bitmaps[2] = ::CreateCompatibleBitmap(screen, kWidth, kHeight);
    g_floor.background = MemoryDc(screen, g_floor.bitmaps[0], g_floor.previous[0]);
    g_floor.piece = MemoryDc(screen, g_floor.bitmaps[1], g_floor.previous[1]);
    g_floor.canvas = MemoryDc(screen, g_floor.bitmaps[2], g_floor.previous[2]);
    ::ReleaseDC(window, screen);
    ::BitBlt(g_floor.canvas, 0, 0, kWidth, kHeight, g_floor.background, 0, 0, SRCCOPY);
    ::SetTextColor(g_floor.canvas, RGB(255, 255, 255));
    ::SetBkMode(g_floor.canvas, TRANSPARENT);
}

void Teardown() {
    HDC dcs[3] = {g_floor.background, g_floor.piece, g_floor.canvas};
    for (int i = 0; i < 3; ++i) {
        ::SelectObject(dcs[i], g_floor.previous[i]);
        ::DeleteDC(dcs[i]);
        ::DeleteObject(g_floor.bitmaps[i]);
    }
}

void Restore(HDC canvas, int x, int y, int width, int height) {
    ::BitBlt(canvas, x, y, width, height, g_floor.background, x, y, SRCCOPY);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    HDC canvas = g_floor.canvas;
    if (g_floor.lean) {
        Restore(canvas, kTrackInteriorLeft, kMarkerTop, kTrackInteriorWidth, kMarkerHeight);
        Restore(canvas, kStatusRect.left, kStatusRect.top, kStatusRect.right - kStatusRect.left,
                kStatusRect.bottom - kStatusRect.top);
    } else {
        Restore(canvas, 0, 0, kWidth, kHeight);
    }
    const int offset = 4 * g_floor.step;
    int width = offset < 22 ? offset : 22;
    if (124 - offset < width) width = 124 - offset;
    if (width > 0) {
        const int sourceX = offset < 22 ? 22 - offset : 0;
        ::BitBlt(canvas, 255 + offset, kMarkerTop, width, kMarkerHeight, g_floor.piece, sourceX, 0,
                 SRCCOPY);
    }
    RECT rect = kStatusRect;
    ::DrawTextA(canvas, kStatus, -1, &rect, DT_CENTER);
    const int x0 = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y0 = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    ::BitBlt(dc, x0, y0, kWidth, kHeight, canvas, 0, 0, SRCCOPY);
    ::EndPaint(window, &paint);
}

void CoverScreen(HWND window) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                   ::GetSystemMetrics(SM_CYSCREEN), SWP_SHOWWINDOW);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_TIMER:
            if (wParam == kAnimateTimer) {
                g_floor.step = g_floor.step >= 31 ? 0 : g_floor.step + 1;
                CoverScreen(window);
                ::InvalidateRect(window, nullptr, FALSE);
            } else if (wParam == kEndTimer) {
                ::DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR commandLine, int) {
    g_floor.lean = std::strncmp(commandLine, "lean", 4) == 0;
    const char* seconds = std::strchr(commandLine, ' ');
    const long lifetime = seconds ? std::strtol(seconds, nullptr, 10) : 60;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = module;
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "Floor";
    ::RegisterClassA(&windowClass);
    HWND window =
        ::CreateWindowExA(WS_EX_TOOLWINDOW, "Floor", g_floor.lean ? "Floor lean" : "Floor naive",
                          WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module, nullptr);
    if (!window) return 1;
    Setup(window);
    CoverScreen(window);
    ::SetTimer(window, kAnimateTimer, 100, nullptr);
    ::SetTimer(window, kEndTimer, static_cast<UINT>(lifetime * 1000), nullptr);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    Teardown();
    return 0;
}
