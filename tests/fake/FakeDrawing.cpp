// The double's drawing: contexts and bitmaps are software images; what is
// drawn on the window lands in screen.
#include <cstring>

#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"

namespace fake {

struct DrawingState::Bitmap {
    SoftwareImage image;
    bool brush = false;
    unsigned long color = 0;
};

struct DrawingState::Dc {
    bool window = false;
    Bitmap* selected = nullptr;
    unsigned long textColor = 0;
    unsigned long bkColor = Rgb(255, 255, 255);
    int bkMode = 2;  // OPAQUE
};

namespace {
// What a fresh memory context holds before anything is selected into it.
char stockBitmapTag;
platform::GdiObject StockBitmap() { return reinterpret_cast<platform::GdiObject>(&stockBitmapTag); }
}  // namespace

DrawingState::~DrawingState() {
    for (Dc* dc : dcs_) delete dc;
    for (Bitmap* bitmap : bitmaps_) delete bitmap;
}

DrawingState::Dc* DrawingState::AsDc(platform::DcHandle dc) const {
    Dc* found = reinterpret_cast<Dc*>(dc);
    return dcs_.count(found) ? found : nullptr;
}

platform::DcHandle FakePlatform::BeginPaint(platform::WindowHandle, platform::PaintStruct& paint) {
    Record("BeginPaint");
    ++paintsOpen_;
    Dc* dc = new Dc{};
    dc->window = true;
    dcs_.insert(dc);
    std::memcpy(paint.storage, &dc, sizeof dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

void FakePlatform::EndPaint(platform::WindowHandle, platform::PaintStruct& paint) {
    Record("EndPaint");
    --paintsOpen_;
    Dc* dc = nullptr;
    std::memcpy(&dc, paint.storage, sizeof dc);
    dcs_.erase(dc);
    delete dc;
}

platform::DcHandle FakePlatform::GetDC(platform::WindowHandle) {
    Record("GetDC");
    if (windowDcFails) return nullptr;
    if (screen.width != screenWidth || screen.height != screenHeight) {
        screen = SoftwareImage(screenWidth, screenHeight);
    }
    ++windowDcsHeld_;
    Dc* dc = new Dc{};
    dc->window = true;
    dcs_.insert(dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

void FakePlatform::ReleaseDC(platform::WindowHandle, platform::DcHandle handle) {
    Record("ReleaseDC");
    Dc* dc = AsDc(handle);
    if (!dc || !dc->window) return;
    --windowDcsHeld_;
    dcs_.erase(dc);
    delete dc;
}

platform::GdiObject FakePlatform::LoadBitmapA(unsigned id) {
    Record("LoadBitmap " + std::to_string(id));
    auto file = bitmapFiles.find(id);
    if (file == bitmapFiles.end()) return nullptr;
    if (!bitmapCache_.count(id)) bitmapCache_[id] = LoadBmp(file->second);
    if (bitmapCache_[id].width == 0) return nullptr;
    Bitmap* bitmap = new Bitmap{bitmapCache_[id]};
    bitmaps_.insert(bitmap);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(bitmap);
}

platform::GdiObject FakePlatform::CreateCompatibleBitmap(platform::DcHandle, int width,
                                                         int height) {
    Record("CreateCompatibleBitmap " + std::to_string(width) + "x" + std::to_string(height));
    Bitmap* bitmap = new Bitmap{SoftwareImage(width, height)};
    bitmaps_.insert(bitmap);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(bitmap);
}

platform::DcHandle FakePlatform::CreateCompatibleDC(platform::DcHandle) {
    Record("CreateCompatibleDC");
    Dc* dc = new Dc{};
    dcs_.insert(dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

platform::GdiObject FakePlatform::SelectObject(platform::DcHandle handle,
                                               platform::GdiObject object) {
    Record("SelectObject");
    Dc* dc = AsDc(handle);
    if (!dc) return nullptr;
    platform::GdiObject previous =
        dc->selected ? reinterpret_cast<platform::GdiObject>(dc->selected) : StockBitmap();
    if (object == StockBitmap()) {
        dc->selected = nullptr;
    } else {
        Bitmap* bitmap = reinterpret_cast<Bitmap*>(object);
        if (!bitmaps_.count(bitmap)) return nullptr;
        dc->selected = bitmap;
    }
    return previous;
}

bool FakePlatform::DeleteDC(platform::DcHandle handle) {
    Record("DeleteDC");
    Dc* dc = AsDc(handle);
    if (!dc || dc->window) return false;
    dcs_.erase(dc);
    delete dc;
    return true;
}

bool FakePlatform::DeleteObject(platform::GdiObject object) {
    Record("DeleteObject");
    Bitmap* bitmap = reinterpret_cast<Bitmap*>(object);
    if (!bitmaps_.count(bitmap)) return false;
    for (Dc* dc : dcs_) {
        if (dc->selected == bitmap) return false;  // GDI refuses to delete a selected bitmap
    }
    bitmaps_.erase(bitmap);
    delete bitmap;
    return true;
}

platform::GdiObject FakePlatform::CreateSolidBrush(unsigned long color) {
    Record("CreateSolidBrush " + std::to_string(color));
    Bitmap* brush = new Bitmap{};
    brush->brush = true;
    brush->color = color;
    bitmaps_.insert(brush);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(brush);
}

bool FakePlatform::BitBlt(platform::DcHandle target, int x, int y, int width, int height,
                          platform::DcHandle source, int sourceX, int sourceY, unsigned rop) {
    Record("BitBlt " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
           "x" + std::to_string(height) + " from " + std::to_string(sourceX) + "," +
           std::to_string(sourceY) + " rop=" + std::to_string(rop));
    Dc* to = AsDc(target);
    Dc* from = AsDc(source);
    if (!to || !from || !from->selected || from->selected->brush) return false;
    SoftwareImage* surface = to->window ? &screen : (to->selected ? &to->selected->image : nullptr);
    if (!surface) return false;
    const SoftwareImage& pixels = from->selected->image;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int sx = sourceX + column;
            const int sy = sourceY + row;
            if (pixels.Contains(sx, sy) && surface->Contains(x + column, y + row)) {
                surface->Set(x + column, y + row, pixels.At(sx, sy));
            }
        }
    }
    return true;
}

unsigned long FakePlatform::SetTextColor(platform::DcHandle handle, unsigned long color) {
    Dc* dc = AsDc(handle);
    if (!dc) return 0xFFFFFFFF;
    unsigned long previous = dc->textColor;
    dc->textColor = color;
    return previous;
}

unsigned long FakePlatform::SetBkColor(platform::DcHandle handle, unsigned long color) {
    Record("SetBkColor " + std::to_string(color));
    Dc* dc = AsDc(handle);
    if (!dc) return 0xFFFFFFFF;
    unsigned long previous = dc->bkColor;
    dc->bkColor = color;
    return previous;
}

int FakePlatform::SetBkMode(platform::DcHandle handle, int mode) {
    Dc* dc = AsDc(handle);
    if (!dc) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int FakePlatform::DrawTextA(platform::DcHandle handle, const std::string& text,
                            platform::Rect& rect, unsigned format) {
    Record("DrawText " + text);
    Dc* dc = AsDc(handle);
    if (!dc) return 0;
    drawnTexts.push_back(DrawTextCall{text, rect, format, dc->textColor, dc->bkMode});
    SoftwareImage* surface = dc->window ? &screen : (dc->selected ? &dc->selected->image : nullptr);
    if (surface) {
        const unsigned long c = dc->textColor;  // 0x00BBGGRR
        DrawTextPattern(*surface, text, rect.left, rect.top, rect.right, rect.bottom,
                        RgbPixel(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    return 16;
}

bool FakePlatform::DrawIcon(platform::DcHandle, int x, int y, platform::IconHandle) {
    Record("DrawIcon " + std::to_string(x) + "," + std::to_string(y));
    return true;
}

}  // namespace fake
