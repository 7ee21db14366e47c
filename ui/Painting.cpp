// The update screen: the background for the system locale, the progress
// marker and the status line, composed off-screen and copied in one piece.
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"
#include "res/resource.h"
#include "ui/BiosUpdateDlg.h"
#include "ui/ScreenLayout.h"

using platform::Os;

void CBiosUpdateDlg::OnPaint() {
    platform::WindowHandle window = GetSafeHwnd();
    if (Os().IsIconic(window)) {
        PaintIcon();
        return;
    }
    { platform::ScopedPaint validate(window); }  // the base paint: validates, draws nothing

    platform::ScopedGetDC screen(window);
    if (!screen.Get()) return;
    const ui::ScreenLayout layout = ui::LayoutFor(Os().GetSystemDefaultLCID());
    LoadPictures(screen.Get(), layout.backgroundBitmap);

    platform::ScopedMemoryDC backgroundDc(screen.Get());
    platform::ScopedMemoryDC picture(screen.Get());
    platform::ScopedMemoryDC pieceDc(screen.Get());
    platform::ScopedSelectObject backgroundSelection(backgroundDc.Get(), m_hBackground.Get());
    platform::ScopedSelectObject pictureSelection(picture.Get(), m_hCanvas.Get());
    platform::ScopedSelectObject pieceSelection(pieceDc.Get(), m_hPiece.Get());

    // Every paint starts from a fresh copy of the background as stored.
    Os().BitBlt(picture.Get(), 0, 0, ui::kPictureWidth, ui::kPictureHeight, backgroundDc.Get(), 0,
                0, win::SRCCOPY);

    const ui::MarkerBlit marker = ui::MarkerFor(m_nAnimStep);
    if (marker.width > 0) {
        Os().BitBlt(picture.Get(), marker.x, ui::kMarkerTop, marker.width, ui::kMarkerHeight,
                    pieceDc.Get(), marker.sourceX, 0, win::SRCCOPY);
    }

    Os().SetTextColor(picture.Get(), Rgb(255, 255, 255));
    Os().SetBkMode(picture.Get(), win::TRANSPARENT);
    const std::string status = CopyStatus();
    if (!status.empty()) {
        platform::Rect rect = layout.statusRect;
        Os().DrawTextA(picture.Get(), status, rect, win::DT_CENTER);
    }

    const ui::Point origin = ui::PictureOrigin(Os().GetSystemMetrics(win::SM_CXSCREEN),
                                               Os().GetSystemMetrics(win::SM_CYSCREEN));
    Os().BitBlt(screen.Get(), origin.x, origin.y, ui::kPictureWidth, ui::kPictureHeight,
                picture.Get(), 0, 0, win::SRCCOPY);
}

// Loading the pictures anew ten times a second costs more than the rest of a
// paint together; they are loaded once, and again when the locale changes.
void CBiosUpdateDlg::LoadPictures(platform::DcHandle screen, unsigned backgroundId) {
    if (!m_hBackground.Get() || m_nBackgroundId != backgroundId) {
        m_hBackground.Reset(Os().LoadBitmapA(backgroundId));
        m_nBackgroundId = backgroundId;
    }
    if (!m_hPiece.Get()) m_hPiece.Reset(Os().LoadBitmapA(IDB_MARKER));
    if (!m_hCanvas.Get()) {
        m_hCanvas.Reset(Os().CreateCompatibleBitmap(screen, ui::kPictureWidth, ui::kPictureHeight));
    }
}

void CBiosUpdateDlg::PaintIcon() {
    platform::WindowHandle window = GetSafeHwnd();
    platform::ScopedPaint paint(window);
    Os().SendMessageA(window, win::WM_ICONERASEBKGND, reinterpret_cast<Wparam>(paint.Get()), 0);
    const platform::Rect client = Os().GetClientRect(window);
    const int x = (client.right - client.left - Os().GetSystemMetrics(win::SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - Os().GetSystemMetrics(win::SM_CYICON) + 1) / 2;
    Os().DrawIcon(paint.Get(), x, y, m_hIcon);
}
