// The double's drawing: device contexts and bitmaps as software images, the
// window's content in screen, and counts of what must all be released.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Types.h"
#include "tests/fake/SoftwareImage.h"

namespace fake {

struct DrawTextCall {
    std::string text;
    platform::Rect rect;
    unsigned format;
    unsigned long color;
    int bkMode;
};

class DrawingState {
public:
    DrawingState() = default;
    DrawingState(const DrawingState&) = delete;
    DrawingState& operator=(const DrawingState&) = delete;
    ~DrawingState();

    // ---- Scripted state -------------------------------------------------
    bool windowDcFails = false;
    // Bitmaps by resource id, loaded from files when first asked for.
    std::map<unsigned, std::string> bitmapFiles;

    // ---- What happened --------------------------------------------------
    std::vector<DrawTextCall> drawnTexts;
    SoftwareImage screen;  // what the window shows

    int LiveGdiObjects() const { return static_cast<int>(bitmaps_.size()); }
    int LiveDcs() const { return static_cast<int>(dcs_.size()); }
    int GdiObjectsCreated() const { return gdiCreated_; }
    int WindowDcsHeld() const { return windowDcsHeld_; }
    int PaintsOpen() const { return paintsOpen_; }

protected:
    struct Bitmap;
    struct Dc;

    Dc* AsDc(platform::DcHandle dc) const;

    std::set<Dc*> dcs_;
    std::set<Bitmap*> bitmaps_;
    std::map<unsigned, SoftwareImage> bitmapCache_;
    int gdiCreated_ = 0;
    int windowDcsHeld_ = 0;
    int paintsOpen_ = 0;
};

}  // namespace fake
