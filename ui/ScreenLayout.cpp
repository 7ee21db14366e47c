#include "ui/ScreenLayout.h"

#include <algorithm>

#include "platform/Win32Constants.h"
#include "res/resource.h"

namespace ui {

MarkerBlit MarkerFor(int step) {
    constexpr int kTrackLeft = 255;
    constexpr int kTrackInterior = 124;  // the marker's right end stops at 378
    constexpr int kPieceWidth = 22;
    const int offset = 4 * step;
    MarkerBlit blit;
    blit.x = kTrackLeft + offset;
    blit.width = std::max(0, std::min({offset, kPieceWidth, kTrackInterior - offset}));
    blit.sourceX = std::max(0, kPieceWidth - offset);
    return blit;
}

Point PictureOrigin(int screenWidth, int screenHeight) {
    return Point{(screenWidth - kPictureWidth) / 2, (screenHeight - kPictureHeight) / 2};
}

ScreenLayout LayoutFor(unsigned long systemLocale) {
    if (systemLocale == win::LANG_KOREAN_KOREA) {
        return ScreenLayout{IDB_BACKGROUND_KOREAN, platform::Rect{0, 300, kPictureWidth, 325}};
    }
    return ScreenLayout{IDB_BACKGROUND, platform::Rect{0, 310, kPictureWidth, 335}};
}

}  // namespace ui
