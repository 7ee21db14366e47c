// Where the update screen's parts go: the picture on the screen, the status
// line and the progress marker inside the picture.
#pragma once

#include "platform/Types.h"

namespace ui {

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;
constexpr int kMarkerTop = 354;
constexpr int kMarkerHeight = 9;
constexpr int kAnimationSteps = 32;

// The track's interior rows the marker is drawn on: x 257..378, y 354..362.
constexpr platform::Rect kMarkerRows{257, kMarkerTop, 379, kMarkerTop + kMarkerHeight};

struct Point {
    int x = 0;
    int y = 0;
};

// The block of the marker piece drawn at one step; nothing when width is 0.
struct MarkerBlit {
    int x = 0;
    int width = 0;
    int sourceX = 0;
};

MarkerBlit MarkerFor(int step);

// The picture centred on the screen, each division truncating toward zero.
Point PictureOrigin(int screenWidth, int screenHeight);

struct ScreenLayout {
    unsigned backgroundBitmap;
    platform::Rect statusRect;
};

// Korean system locale: bitmap 134, text rows 300..325; else 135, 310..335.
ScreenLayout LayoutFor(unsigned long systemLocale);

}  // namespace ui
