// Painting, device contexts, bitmaps, brushes and text.
#include <new>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

static_assert(sizeof(PAINTSTRUCT) <= sizeof(PaintStruct::storage), "PAINTSTRUCT fits");
static_assert(alignof(PAINTSTRUCT) <= alignof(PaintStruct), "PAINTSTRUCT is aligned");

PAINTSTRUCT* Paint(PaintStruct& paint) {
    return std::launder(reinterpret_cast<PAINTSTRUCT*>(paint.storage));
}

}  // namespace

DcHandle Win32Platform::BeginPaint(WindowHandle window, PaintStruct& paint) {
    PAINTSTRUCT* record = new (paint.storage) PAINTSTRUCT();
    return FromHdc(::BeginPaint(ToHwnd(window), record));
}

void Win32Platform::EndPaint(WindowHandle window, PaintStruct& paint) {
    ::EndPaint(ToHwnd(window), Paint(paint));
}

DcHandle Win32Platform::GetDC(WindowHandle window) { return FromHdc(::GetDC(ToHwnd(window))); }

void Win32Platform::ReleaseDC(WindowHandle window, DcHandle dc) {
    ::ReleaseDC(ToHwnd(window), ToHdc(dc));
}

GdiObject Win32Platform::LoadBitmapA(unsigned id) {
    return FromGdi(::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)));
}

GdiObject Win32Platform::CreateCompatibleBitmap(DcHandle dc, int width, int height) {
    return FromGdi(::CreateCompatibleBitmap(ToHdc(dc), width, height));
}

DcHandle Win32Platform::CreateCompatibleDC(DcHandle dc) {
    return FromHdc(::CreateCompatibleDC(ToHdc(dc)));
}

GdiObject Win32Platform::SelectObject(DcHandle dc, GdiObject object) {
    return FromGdi(::SelectObject(ToHdc(dc), ToGdi(object)));
}

bool Win32Platform::DeleteDC(DcHandle dc) { return ::DeleteDC(ToHdc(dc)) != FALSE; }

bool Win32Platform::DeleteObject(GdiObject object) {
    return ::DeleteObject(ToGdi(object)) != FALSE;
}

GdiObject Win32Platform::CreateSolidBrush(unsigned long color) {
    return FromGdi(::CreateSolidBrush(color));
}

bool Win32Platform::BitBlt(DcHandle target, int x, int y, int width, int height, DcHandle source,
                           int sourceX, int sourceY, unsigned rop) {
    return ::BitBlt(ToHdc(target), x, y, width, height, ToHdc(source), sourceX, sourceY, rop) !=
           FALSE;
}

unsigned long Win32Platform::SetTextColor(DcHandle dc, unsigned long color) {
    return ::SetTextColor(ToHdc(dc), color);
}

unsigned long Win32Platform::SetBkColor(DcHandle dc, unsigned long color) {
    return ::SetBkColor(ToHdc(dc), color);
}

int Win32Platform::SetBkMode(DcHandle dc, int mode) { return ::SetBkMode(ToHdc(dc), mode); }

int Win32Platform::DrawTextA(DcHandle dc, const std::string& text, Rect& rect, unsigned format) {
    RECT box = {rect.left, rect.top, rect.right, rect.bottom};
    int height = ::DrawTextA(ToHdc(dc), text.data(), static_cast<int>(text.size()), &box, format);
    rect = Rect{box.left, box.top, box.right, box.bottom};
    return height;
}

bool Win32Platform::DrawIcon(DcHandle dc, int x, int y, IconHandle icon) {
    return ::DrawIcon(ToHdc(dc), x, y, ToHicon(icon)) != FALSE;
}

}  // namespace platform
