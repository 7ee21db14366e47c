// Small owners of system resources: each releases what it holds when it goes,
// so whatever a routine acquires is released by that routine on every path.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace platform {

// Owners are neither copied nor assigned: each resource has one.
class NoCopy {
public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

protected:
    NoCopy() = default;
    ~NoCopy() = default;
};

// One handle, released by one call when the owner goes or takes another.
template <class Handle, void (*Release)(Handle)>
class ScopedHandle : NoCopy {
public:
    explicit ScopedHandle(Handle handle = nullptr) : m_hHandle(handle) {}
    ~ScopedHandle() { Reset(); }
    Handle Get() const { return m_hHandle; }
    void Reset(Handle handle = nullptr) {
        if (m_hHandle) Release(m_hHandle);
        m_hHandle = handle;
    }
    // Releases what it owns and lends the slot to a call that fills it.
    Handle& Receive() {
        Reset();
        return m_hHandle;
    }

private:
    Handle m_hHandle;
};

// The calls the owners below release with.
namespace release {
inline void RegCloseKey(KeyHandle key) { Os().RegCloseKey(key); }
inline void CloseHandle(KernelHandle handle) { Os().CloseHandle(handle); }
inline void DeleteObject(GdiObject object) { Os().DeleteObject(object); }
inline void SysFreeString(Bstr text) { Os().SysFreeString(text); }
inline void Release(ComObject* object) { Os().Release(object); }
}  // namespace release

// An open registry key, closed by RegCloseKey.
using ScopedRegKey = ScopedHandle<KeyHandle, release::RegCloseKey>;

// A process or thread handle, closed by CloseHandle.
using AutoCloseHandle = ScopedHandle<KernelHandle, release::CloseHandle>;

// A started process: its process and first thread handles, each closed by
// CloseHandle.
class ScopedProcess : NoCopy {
public:
    ScopedProcess() = default;
    // Takes both handles of a process just started.
    void Take(const ProcessInfo& info) {
        process.Reset(info.process);
        thread.Reset(info.thread);
        processId = info.processId;
    }

    AutoCloseHandle process;
    AutoCloseHandle thread;
    unsigned long processId = 0;
};

// A bitmap or brush, deleted by DeleteObject.
using ScopedGdiObject = ScopedHandle<GdiObject, release::DeleteObject>;

// A counted COM reference, released by Release.
using ScopedComPtr = ScopedHandle<ComObject*, release::Release>;

// A BSTR allocated for one call, freed by SysFreeString.
class ScopedBstr : public ScopedHandle<Bstr, release::SysFreeString> {
public:
    explicit ScopedBstr(const std::u16string& text) : ScopedHandle(Os().SysAllocString(text)) {}
};

// The device context of a window's whole client area, released by ReleaseDC.
class ScopedGetDC : NoCopy {
public:
    explicit ScopedGetDC(WindowHandle window) : m_hWnd(window), m_hDC(Os().GetDC(window)) {}
    ~ScopedGetDC() {
        if (m_hDC) Os().ReleaseDC(m_hWnd, m_hDC);
    }
    DcHandle Get() const { return m_hDC; }

private:
    WindowHandle m_hWnd;
    DcHandle m_hDC;
};

// A paint between BeginPaint and EndPaint.
class ScopedPaint : NoCopy {
public:
    explicit ScopedPaint(WindowHandle window)
        : m_hWnd(window), m_hDC(Os().BeginPaint(window, m_ps)) {}
    ~ScopedPaint() { Os().EndPaint(m_hWnd, m_ps); }
    DcHandle Get() const { return m_hDC; }

private:
    WindowHandle m_hWnd;
    PaintStruct m_ps;
    DcHandle m_hDC;
};

// A lock entered for the scope, and left when it ends.
class ScopedLock : NoCopy {
public:
    explicit ScopedLock(Lock& lock) : m_pLock(&lock) { m_pLock->Enter(); }
    ~ScopedLock() { m_pLock->Leave(); }

private:
    Lock* m_pLock;
};

}  // namespace platform
