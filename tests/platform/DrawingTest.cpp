// Bitmaps, memory device contexts, text and icons from the program's resources.
#include <gtest/gtest.h>

#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

constexpr unsigned kMarker = 132;      // 22x9
constexpr unsigned kBackground = 135;  // 640x480
constexpr unsigned kIcon = 128;

DcHandle Dc(HDC dc) { return reinterpret_cast<DcHandle>(dc); }
HDC Hdc(DcHandle dc) { return reinterpret_cast<HDC>(dc); }

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!::GetSystemMetrics(SM_CXSCREEN)) {
            GTEST_SKIP() << "no display";
        }
        if (!::FindResourceA(nullptr, MAKEINTRESOURCEA(kMarker), MAKEINTRESOURCEA(2))) {
            GTEST_SKIP() << "no program resources";
        }
        screen_ = os_.GetDC(nullptr);
        ASSERT_NE(screen_, nullptr);
    }
    void TearDown() override {
        if (screen_) os_.ReleaseDC(nullptr, screen_);
    }

    static SIZE BitmapSize(GdiObject bitmap) {
        BITMAP info = {};
        ::GetObjectA(reinterpret_cast<HGDIOBJ>(bitmap), sizeof(info), &info);
        return SIZE{info.bmWidth, info.bmHeight};
    }

    Win32Platform os_;
    DcHandle screen_ = nullptr;
};

TEST_F(DrawingTest, BitmapsLoadAndCopyPixelForPixel) {
    GdiObject background = os_.LoadBitmapA(kBackground);
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(BitmapSize(background).cx, 640);
    EXPECT_EQ(BitmapSize(background).cy, 480);
    EXPECT_TRUE(os_.DeleteObject(background));
    EXPECT_EQ(os_.LoadBitmapA(4242), nullptr);

    GdiObject marker = os_.LoadBitmapA(kMarker);
    ASSERT_NE(marker, nullptr);
    ASSERT_EQ(BitmapSize(marker).cx, 22);
    ASSERT_EQ(BitmapSize(marker).cy, 9);
    DcHandle source = os_.CreateCompatibleDC(screen_);
    GdiObject sourceBefore = os_.SelectObject(source, marker);
    EXPECT_NE(sourceBefore, nullptr);

    HBITMAP canvas = ::CreateCompatibleBitmap(Hdc(screen_), 22, 9);
    DcHandle target = os_.CreateCompatibleDC(screen_);
    GdiObject targetBefore = os_.SelectObject(target, reinterpret_cast<GdiObject>(canvas));
    ::PatBlt(Hdc(target), 0, 0, 22, 9, BLACKNESS);

    // The rightmost four columns of the piece at the left edge; a width of 0
    // copies nothing.
    EXPECT_TRUE(os_.BitBlt(target, 0, 0, 4, 9, source, 18, 0, SRCCOPY));
    EXPECT_TRUE(os_.BitBlt(target, 4, 0, 0, 9, source, 0, 0, SRCCOPY));
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 22; ++x) {
            COLORREF expected = x < 4 ? ::GetPixel(Hdc(source), x + 18, y) : RGB(0, 0, 0);
            ASSERT_EQ(::GetPixel(Hdc(target), x, y), expected) << x << "," << y;
        }
    }

    EXPECT_EQ(os_.SelectObject(target, targetBefore), reinterpret_cast<GdiObject>(canvas));
    EXPECT_EQ(os_.SelectObject(source, sourceBefore), marker);
    EXPECT_TRUE(os_.DeleteDC(target));
    EXPECT_TRUE(os_.DeleteDC(source));
    EXPECT_TRUE(os_.DeleteObject(reinterpret_cast<GdiObject>(canvas)));
    EXPECT_TRUE(os_.DeleteObject(marker));
}

TEST_F(DrawingTest, TextIsDrawnInItsColourWithoutABackgroundBox) {
    HDC dc = ::CreateCompatibleDC(Hdc(screen_));
    HBITMAP canvas = ::CreateCompatibleBitmap(Hdc(screen_), 200, 25);
    HGDIOBJ before = ::SelectObject(dc, canvas);
    GdiObject black = os_.CreateSolidBrush(RGB(0, 0, 0));
    ASSERT_NE(black, nullptr);
    RECT all = {0, 0, 200, 25};
    ::FillRect(dc, &all, reinterpret_cast<HBRUSH>(black));

    EXPECT_EQ(os_.SetTextColor(Dc(dc), RGB(255, 255, 255)), RGB(0, 0, 0));
    EXPECT_EQ(os_.SetBkColor(Dc(dc), RGB(255, 0, 0)), RGB(255, 255, 255));
    EXPECT_EQ(os_.SetBkMode(Dc(dc), TRANSPARENT), OPAQUE);
    Rect box{0, 0, 200, 25};
    EXPECT_GT(os_.DrawTextA(Dc(dc), "Initializing", box, DT_CENTER), 0);

    int white = 0;
    int other = 0;
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 200; ++x) {
            COLORREF pixel = ::GetPixel(dc, x, y);
            if (pixel == RGB(255, 255, 255)) ++white;
            if (pixel == RGB(255, 0, 0)) ++other;
        }
    }
    EXPECT_GT(white, 0);
    EXPECT_EQ(other, 0);

    // The rectangle comes back as the system left it.
    Rect measured{0, 0, 200, 25};
    os_.DrawTextA(Dc(dc), "x", measured, DT_CALCRECT);
    EXPECT_GT(measured.right, 0);
    EXPECT_LT(measured.right, 200);

    ::SelectObject(dc, before);
    ::DeleteDC(dc);
    ::DeleteObject(canvas);
    EXPECT_TRUE(os_.DeleteObject(black));
}

TEST_F(DrawingTest, ProgramIconLoadsAndDraws) {
    IconHandle icon = os_.LoadIconA(kIcon);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(os_.LoadIconA(4242), nullptr);
    HDC dc = ::CreateCompatibleDC(Hdc(screen_));
    HBITMAP canvas = ::CreateCompatibleBitmap(Hdc(screen_), 32, 32);
    HGDIOBJ before = ::SelectObject(dc, canvas);
    EXPECT_TRUE(os_.DrawIcon(Dc(dc), 0, 0, icon));
    ::SelectObject(dc, before);
    ::DeleteDC(dc);
    ::DeleteObject(canvas);
}

}  // namespace
}  // namespace platform
