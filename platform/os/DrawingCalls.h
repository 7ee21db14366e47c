// Drawing: device contexts, bitmaps, brushes, text and icons.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

// Room for the system's PAINTSTRUCT between BeginPaint and EndPaint.
struct PaintStruct {
    alignas(8) unsigned char storage[96] = {};
};

class DrawingCalls {
public:
    virtual DcHandle BeginPaint(WindowHandle window, PaintStruct& paint) = 0;
    virtual void EndPaint(WindowHandle window, PaintStruct& paint) = 0;
    virtual DcHandle GetDC(WindowHandle window) = 0;
    virtual void ReleaseDC(WindowHandle window, DcHandle dc) = 0;
    virtual GdiObject LoadBitmapA(unsigned id) = 0;
    virtual GdiObject CreateCompatibleBitmap(DcHandle dc, int width, int height) = 0;
    virtual DcHandle CreateCompatibleDC(DcHandle dc) = 0;
    virtual GdiObject SelectObject(DcHandle dc, GdiObject object) = 0;
    virtual bool DeleteDC(DcHandle dc) = 0;
    virtual bool DeleteObject(GdiObject object) = 0;
    virtual GdiObject CreateSolidBrush(unsigned long color) = 0;
    virtual bool BitBlt(DcHandle target, int x, int y, int width, int height, DcHandle source,
                        int sourceX, int sourceY, unsigned rop) = 0;
    virtual unsigned long SetTextColor(DcHandle dc, unsigned long color) = 0;
    virtual unsigned long SetBkColor(DcHandle dc, unsigned long color) = 0;
    virtual int SetBkMode(DcHandle dc, int mode) = 0;
    virtual int DrawTextA(DcHandle dc, const std::string& text, Rect& rect, unsigned format) = 0;
    virtual bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) = 0;

protected:
    ~DrawingCalls() = default;
};

}  // namespace platform
