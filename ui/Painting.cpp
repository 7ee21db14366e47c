// The update screen: the background for the system locale, the progress
// marker and the status line, composed off-screen and copied in one piece.
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"
#include "res/resource.h"
#include "ui/BiosUpdateDlg.h"
#include "ui/ScreenLayout.h"

using platform::Os;

namespace {

// Copies area of the background back onto the canvas.
void Restore(platform::DcHandle canvas, platform::DcHandle background, const platform::Rect& area) {
    Os().BitBlt(canvas, area.left, area.top, area.right - area.left, area.bottom - area.top,
                background, area.left, area.top, win::SRCCOPY);
}

}  // namespace

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

    const platform::DcHandle picture = m_dcCanvas.Get();
    const platform::DcHandle background = m_dcBackground.Get();

    // Every paint starts from a fresh copy of the background as stored. Paints
    // draw only on the marker's rows and the status rectangle, so once the
    // canvas holds this background, putting those two back is such a copy.
    if (m_nCanvasBackgroundId == layout.backgroundBitmap) {
        Restore(picture, background, ui::kMarkerRows);
        Restore(picture, background, layout.statusRect);
    } else {
        Restore(picture, background, platform::Rect{0, 0, ui::kPictureWidth, ui::kPictureHeight});
        if (m_hBackground.Get() && m_hCanvas.Get()) m_nCanvasBackgroundId = layout.backgroundBitmap;
    }

    const ui::MarkerBlit marker = ui::MarkerFor(m_nAnimStep);
    if (marker.width > 0) {
        Os().BitBlt(picture, marker.x, ui::kMarkerTop, marker.width, ui::kMarkerHeight,
                    m_dcPiece.Get(), marker.sourceX, 0, win::SRCCOPY);
    }

    Os().SetTextColor(picture, Rgb(255, 255, 255));
    Os().SetBkMode(picture, win::TRANSPARENT);
    const std::string status = CopyStatus();
    if (!status.empty()) {
        platform::Rect rect = layout.statusRect;
        Os().DrawTextA(picture, status, rect, win::DT_CENTER);
    }

    const ui::Point origin = ui::PictureOrigin(Os().GetSystemMetrics(win::SM_CXSCREEN),
                                               Os().GetSystemMetrics(win::SM_CYSCREEN));
    Os().BitBlt(screen.Get(), origin.x, origin.y, ui::kPictureWidth, ui::kPictureHeight, picture, 0,
                0, win::SRCCOPY);
}

// Loading the pictures anew ten times a second costs more than the rest of a
// paint together; they are loaded once, and again when the locale changes,
// and kept selected into their memory contexts.
void CBiosUpdateDlg::LoadPictures(platform::DcHandle screen, unsigned backgroundId) {
    if (!m_hBackground.Get() || m_nBackgroundId != backgroundId) {
        m_dcBackground.Release();  // a selected bitmap cannot be deleted
        m_hBackground.Reset(Os().LoadBitmapA(backgroundId));
        m_nBackgroundId = backgroundId;
    }
    if (!m_hPiece.Get()) m_hPiece.Reset(Os().LoadBitmapA(IDB_MARKER));
    if (!m_hCanvas.Get()) {
        m_hCanvas.Reset(Os().CreateCompatibleBitmap(screen, ui::kPictureWidth, ui::kPictureHeight));
        m_nCanvasBackgroundId = 0;
    }
    m_dcBackground.Select(screen, m_hBackground.Get());
    m_dcPiece.Select(screen, m_hPiece.Get());
    m_dcCanvas.Select(screen, m_hCanvas.Get());
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
