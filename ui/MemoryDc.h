// A memory device context kept between paints, with one bitmap selected
// into it at a time.
#pragma once

#include "platform/Platform.h"
#include "platform/Scoped.h"

class CMemoryDc : platform::NoCopy {
public:
    CMemoryDc() = default;
    ~CMemoryDc() { Release(); }

    // Selects bitmap, making the context, compatible with screen, on first
    // use. A null bitmap leaves the selection as it is.
    void Select(platform::DcHandle screen, platform::GdiObject bitmap);
    // Puts the context's own bitmap back and deletes the context, so that
    // the bitmap it had selected may be deleted.
    void Release();
    platform::DcHandle Get() const { return m_hDC; }

private:
    platform::DcHandle m_hDC = nullptr;
    platform::GdiObject m_hOwnBitmap = nullptr;  // what the context had when made
    platform::GdiObject m_hSelected = nullptr;
};
