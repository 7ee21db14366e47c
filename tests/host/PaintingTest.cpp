#include <string>

#include "platform/Win32Constants.h"
#include "res/ResourceFiles.h"
#include "res/resource.h"
#include "tests/fake/SoftwareImage.h"
#include "tests/host/FakeFixture.h"
#include "ui/BiosUpdateDlg.h"
#include "ui/ScreenLayout.h"

namespace {

using fake::SoftwareImage;

std::string ResPath(unsigned id) {
    return std::string(BIOSUPDATE_RES_DIR) + "/" + ResourceFileName(id);
}

TEST(MarkerGeometry, FollowsTheTrackFromEntryToExit) {
    struct Row {
        int step, x, width, sourceX;
    } rows[] = {{1, 259, 4, 18},  {2, 263, 8, 14},  {5, 275, 20, 2}, {6, 279, 22, 0},
                {25, 355, 22, 0}, {26, 359, 20, 0}, {30, 375, 4, 0}};
    for (const Row& r : rows) {
        ui::MarkerBlit blit = ui::MarkerFor(r.step);
        EXPECT_EQ(blit.x, r.x) << r.step;
        EXPECT_EQ(blit.width, r.width) << r.step;
        EXPECT_EQ(blit.sourceX, r.sourceX) << r.step;
    }
    EXPECT_EQ(ui::MarkerFor(0).width, 0);
    EXPECT_EQ(ui::MarkerFor(31).width, 0);
    for (int step = 0; step < ui::kAnimationSteps; ++step) {
        ui::MarkerBlit blit = ui::MarkerFor(step);
        if (blit.width > 0) {
            EXPECT_GE(blit.x, 257);
            EXPECT_LE(blit.x + blit.width - 1, 378);  // never onto the right border
        }
    }
}

TEST(PictureOrigin, CentresWithDivisionTowardZero) {
    auto origin = [](int w, int h) {
        ui::Point p = ui::PictureOrigin(w, h);
        return std::make_pair(p.x, p.y);
    };
    EXPECT_EQ(origin(1024, 768), std::make_pair(192, 144));
    EXPECT_EQ(origin(1366, 768), std::make_pair(363, 144));
    EXPECT_EQ(origin(640, 480), std::make_pair(0, 0));
    EXPECT_EQ(origin(639, 479), std::make_pair(0, 0));
    EXPECT_EQ(origin(600, 400), std::make_pair(-20, -40));
}

class PaintingFixture : public FakeFixture {
protected:
    void SetUp() override {
        FakeFixture::SetUp();
        for (unsigned id : {IDB_MARKER, IDB_BACKGROUND_KOREAN, IDB_BACKGROUND}) {
            os.bitmapFiles[id] = ResPath(id);
        }
        background = fake::LoadBmp(ResPath(IDB_BACKGROUND));
        koreanBackground = fake::LoadBmp(ResPath(IDB_BACKGROUND_KOREAN));
        piece = fake::LoadBmp(ResPath(IDB_MARKER));
        ASSERT_EQ(background.width, 640);
        ASSERT_EQ(koreanBackground.width, 640);
        ASSERT_EQ(piece.width, 22);
    }

    // The marker's step, reached as the animation timer reaches it.
    static void SetStep(CBiosUpdateDlg& dialog, int step) {
        while (dialog.AnimationStep() != step) dialog.OnTimer(TIMER_ANIMATE);
    }

    void Paint(CBiosUpdateDlg& dialog) {
        platform::DialogHost& host = dialog;
        host.HandleMessage(0x000F, 0, 0);  // WM_PAINT
    }

    SoftwareImage background;
    SoftwareImage koreanBackground;
    SoftwareImage piece;
};

// The whole picture of every paint: the stored background, this paint's
// marker and this paint's text, and nothing left from earlier paints, for
// every step, both locales and a change of the status line at every step.
TEST_F(PaintingFixture, EveryPaintShowsTheBackgroundWithOnlyItsOwnMarkerAndText) {
    const std::string statuses[] = {"Loading BIOS update files. ", "", "Verifying",
                                    std::string(200, 'W'), "Line one\nline two"};
    CBiosUpdateDlg dialog(nullptr);
    const int x0 = 192, y0 = 144;
    int paint = 0;
    for (unsigned long locale : {1033ul, 1042ul, 1033ul}) {
        os.systemLocale = locale;
        const ui::ScreenLayout layout = ui::LayoutFor(locale);
        const SoftwareImage& stored = locale == 1042 ? koreanBackground : background;
        for (int step = 0; step < ui::kAnimationSteps; ++step, ++paint) {
            SCOPED_TRACE(testing::Message() << "locale " << locale << " step " << step);
            SetStep(dialog, step);
            dialog.ShowStatus(statuses[paint % 5]);
            Paint(dialog);

            SoftwareImage expected = stored;
            const ui::MarkerBlit blit = ui::MarkerFor(step);
            for (int x = blit.x; x < blit.x + blit.width; ++x) {
                for (int y = 354; y <= 362; ++y) {
                    expected.Set(x, y, piece.At(blit.sourceX + x - blit.x, y - 354));
                }
            }
            const platform::Rect& r = layout.statusRect;
            fake::DrawTextPattern(expected, dialog.CopyStatus(), r.left, r.top, r.right, r.bottom,
                                  0xFFFFFF);
            int differing = 0;
            for (int y = 0; y < ui::kPictureHeight; ++y) {
                for (int x = 0; x < ui::kPictureWidth; ++x) {
                    if (os.screen.At(x0 + x, y0 + y) != expected.At(x, y)) ++differing;
                }
            }
            ASSERT_EQ(differing, 0);
        }
    }
    // Black around the picture.
    EXPECT_EQ(os.screen.At(10, 10), 0u);
    EXPECT_EQ(os.screen.At(x0 - 1, y0 + 200), 0u);
    EXPECT_EQ(os.screen.At(x0 + 640, y0 + 479), 0u);
}

TEST_F(PaintingFixture, EachPaintStartsFromTheStoredBackground) {
    CBiosUpdateDlg dialog(nullptr);
    SetStep(dialog, 25);
    Paint(dialog);
    SetStep(dialog, 0);
    Paint(dialog);
    for (int x = 255; x <= 380; ++x) {
        for (int y = 351; y <= 365; ++y) {
            ASSERT_EQ(os.screen.At(192 + x, 144 + y), background.At(x, y)) << x << "," << y;
        }
    }
}

TEST_F(PaintingFixture, TheSystemLocaleChoosesBackgroundAndTextRows) {
    CBiosUpdateDlg dialog(nullptr);
    dialog.ShowStatus("Loading BIOS update files. ");
    os.systemLocale = 1042;
    Paint(dialog);
    os.systemLocale = 1033;
    Paint(dialog);
    EXPECT_EQ(os.CountCalls(Trace("LoadBitmap", IDB_BACKGROUND_KOREAN)), 1);
    EXPECT_EQ(os.CountCalls(Trace("LoadBitmap", IDB_BACKGROUND)), 1);
    ASSERT_EQ(os.drawnTexts.size(), 2u);
    EXPECT_EQ(os.drawnTexts[0].rect.top, 300);
    EXPECT_EQ(os.drawnTexts[0].rect.bottom, 325);
    EXPECT_EQ(os.drawnTexts[1].rect.top, 310);
    EXPECT_EQ(os.drawnTexts[1].rect.bottom, 335);
    for (const fake::DrawTextCall& text : os.drawnTexts) {
        EXPECT_EQ(text.text, "Loading BIOS update files. ");
        EXPECT_EQ(text.rect.left, 0);
        EXPECT_EQ(text.rect.right, 640);
        EXPECT_EQ(text.format, 1u);          // DT_CENTER alone
        EXPECT_EQ(text.color, 0x00FFFFFFu);  // white
        EXPECT_EQ(text.bkMode, 1);           // transparent
    }
}

TEST_F(PaintingFixture, AnEmptyStatusDrawsNoText) {
    CBiosUpdateDlg dialog(nullptr);
    Paint(dialog);
    EXPECT_TRUE(os.drawnTexts.empty());
}

TEST_F(PaintingFixture, ThePictureIsPlacedByTheScreenSize) {
    struct Screen {
        int w, h;
        const char* blit;
    } screens[] = {{1024, 768, "BitBlt 192,144 640x480"},
                   {1366, 768, "BitBlt 363,144 640x480"},
                   {640, 480, "BitBlt 0,0 640x480"},
                   {639, 480, "BitBlt 0,0 640x480"},
                   {600, 480, "BitBlt -20,0 640x480"}};
    CBiosUpdateDlg dialog(nullptr);
    for (const Screen& screen : screens) {
        os.screenWidth = screen.w;
        os.screenHeight = screen.h;
        os.calls.clear();
        Paint(dialog);
        // The picture reaches the screen in one copy, the paint's last.
        auto blits = os.CallsStartingWith("BitBlt");
        ASSERT_FALSE(blits.empty());
        EXPECT_EQ(blits.back().what.rfind(screen.blit, 0), 0u) << blits.back().what;
    }
    // 600 wide: 20 columns lost at each side.
    EXPECT_EQ(os.screen.At(0, 200), background.At(20, 200));
}

TEST_F(PaintingFixture, PaintsReleaseWhatTheyMakeAndKeepOnlyThePicturesAndTheirContexts) {
    const int before = os.LiveGdiObjects();
    {
        CBiosUpdateDlg dialog(nullptr);
        const int brush = os.LiveGdiObjects() - before;  // the dialog's own black brush
        auto expectNoPaintLeftovers = [&] {
            EXPECT_LE(os.LiveDcs(), 3);  // the pictures' memory contexts
            EXPECT_EQ(os.WindowDcsHeld(), 0);
            EXPECT_EQ(os.PaintsOpen(), 0);
        };
        dialog.ShowStatus("x");
        for (int step = 0; step < 64; ++step) {
            SetStep(dialog, step % 32);
            Paint(dialog);
            expectNoPaintLeftovers();
        }
        // Background, piece and canvas, made once for all the paints.
        EXPECT_EQ(os.GdiObjectsCreated(), brush + 3);
        EXPECT_EQ(os.LiveGdiObjects(), before + brush + 3);

        os.systemLocale = 1042;  // another background: the old one goes
        Paint(dialog);
        EXPECT_EQ(os.LiveGdiObjects(), before + brush + 3);

        os.windowDcFails = true;  // no device context: the paint is abandoned
        Paint(dialog);
        expectNoPaintLeftovers();
        os.windowDcFails = false;
        EXPECT_EQ(os.LiveDcs(), 3);

        os.iconic = true;
        Paint(dialog);
        expectNoPaintLeftovers();
    }
    EXPECT_EQ(os.LiveGdiObjects(), before);
    EXPECT_EQ(os.LiveDcs(), 0);
}

TEST_F(PaintingFixture, APictureThatCannotBeLoadedIsTriedAgainAtTheNextPaint) {
    os.bitmapFiles.erase(IDB_MARKER);
    CBiosUpdateDlg dialog(nullptr);
    SetStep(dialog, 10);
    Paint(dialog);
    os.bitmapFiles[IDB_MARKER] = ResPath(IDB_MARKER);
    Paint(dialog);
    EXPECT_EQ(os.CountCalls(Trace("LoadBitmap", IDB_MARKER)), 2);
    EXPECT_EQ(os.screen.At(192 + 295, 144 + 358), piece.At(0, 4));  // step 10 starts at x 295
}

TEST_F(PaintingFixture, AMinimisedWindowShowsOnlyTheCentredIcon) {
    os.iconic = true;
    CBiosUpdateDlg dialog(nullptr);
    dialog.ShowStatus("hidden");
    Paint(dialog);
    EXPECT_EQ(os.CountCalls(Trace("SendMessage", win::WM_ICONERASEBKGND)), 1);
    EXPECT_EQ(os.CountCalls("DrawIcon 64,-1"), 1);  // (160 - 32 + 1) / 2, (28 - 32 + 1) / 2
    EXPECT_EQ(os.CountCalls("LoadBitmap"), 0);
    EXPECT_TRUE(os.drawnTexts.empty());
}

}  // namespace
