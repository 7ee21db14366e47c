#include "ui/MemoryDc.h"

using platform::Os;

void CMemoryDc::Select(platform::DcHandle screen, platform::GdiObject bitmap) {
    if (!m_hDc) m_hDc = Os().CreateCompatibleDC(screen);
    if (!m_hDc || !bitmap || bitmap == m_hSelected) return;
    platform::GdiObject previous = Os().SelectObject(m_hDc, bitmap);
    if (!previous) return;
    if (!m_hOwnBitmap) m_hOwnBitmap = previous;
    m_hSelected = bitmap;
}

void CMemoryDc::Release() {
    if (!m_hDc) return;
    if (m_hOwnBitmap) Os().SelectObject(m_hDc, m_hOwnBitmap);
    Os().DeleteDC(m_hDc);
    m_hDc = nullptr;
    m_hOwnBitmap = nullptr;
    m_hSelected = nullptr;
}
