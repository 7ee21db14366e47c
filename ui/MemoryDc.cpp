#include "ui/MemoryDc.h"

using platform::Os;

void CMemoryDc::Select(platform::DcHandle screen, platform::GdiObject bitmap) {
    if (!m_hDC) m_hDC = Os().CreateCompatibleDC(screen);
    if (!m_hDC || !bitmap || bitmap == m_hSelected) return;
    platform::GdiObject previous = Os().SelectObject(m_hDC, bitmap);
    if (!previous) return;
    if (!m_hOwnBitmap) m_hOwnBitmap = previous;
    m_hSelected = bitmap;
}

void CMemoryDc::Release() {
    if (!m_hDC) return;
    if (m_hOwnBitmap) Os().SelectObject(m_hDC, m_hOwnBitmap);
    Os().DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_hOwnBitmap = nullptr;
    m_hSelected = nullptr;
}
