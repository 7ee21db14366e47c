// Small owners of system resources: each releases what it holds when it goes,
// so whatever a routine acquires is released by that routine on every path.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace platform {

// An open registry key, closed by RegCloseKey.
class ScopedRegKey {
public:
    explicit ScopedRegKey(KeyHandle key) : key_(key) {}
    ~ScopedRegKey() {
        if (key_) Os().RegCloseKey(key_);
    }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;
    KeyHandle Get() const { return key_; }

private:
    KeyHandle key_;
};

// A process or thread handle, closed by CloseHandle.
class AutoCloseHandle {
public:
    explicit AutoCloseHandle(KernelHandle handle) : handle_(handle) {}
    ~AutoCloseHandle() {
        if (handle_) Os().CloseHandle(handle_);
    }
    AutoCloseHandle(const AutoCloseHandle&) = delete;
    AutoCloseHandle& operator=(const AutoCloseHandle&) = delete;
    KernelHandle Get() const { return handle_; }

private:
    KernelHandle handle_;
};

// The device context of a window's whole client area, released by ReleaseDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(WindowHandle window) : window_(window), dc_(Os().GetDC(window)) {}
    ~ScopedGetDC() {
        if (dc_) Os().ReleaseDC(window_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    DcHandle Get() const { return dc_; }

private:
    WindowHandle window_;
    DcHandle dc_;
};

// A memory device context, deleted by DeleteDC.
class ScopedMemoryDC {
public:
    explicit ScopedMemoryDC(DcHandle compatibleWith)
        : dc_(Os().CreateCompatibleDC(compatibleWith)) {}
    ~ScopedMemoryDC() {
        if (dc_) Os().DeleteDC(dc_);
    }
    ScopedMemoryDC(const ScopedMemoryDC&) = delete;
    ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
    DcHandle Get() const { return dc_; }

private:
    DcHandle dc_;
};

// A bitmap or brush, deleted by DeleteObject.
class ScopedGdiObject {
public:
    explicit ScopedGdiObject(GdiObject object = nullptr) : object_(object) {}
    ~ScopedGdiObject() { Reset(); }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
    GdiObject Get() const { return object_; }
    void Reset(GdiObject object = nullptr) {
        if (object_) Os().DeleteObject(object_);
        object_ = object;
    }

private:
    GdiObject object_;
};

// An object selected into a device context; the previous one goes back.
class ScopedSelectObject {
public:
    ScopedSelectObject(DcHandle dc, GdiObject object)
        : dc_(dc), previous_(dc && object ? Os().SelectObject(dc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (previous_) Os().SelectObject(dc_, previous_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    DcHandle dc_;
    GdiObject previous_;
};

// A paint between BeginPaint and EndPaint.
class ScopedPaint {
public:
    explicit ScopedPaint(WindowHandle window)
        : window_(window), dc_(Os().BeginPaint(window, paint_)) {}
    ~ScopedPaint() { Os().EndPaint(window_, paint_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    DcHandle Get() const { return dc_; }

private:
    WindowHandle window_;
    PaintStruct paint_;
    DcHandle dc_;
};

// A held lock, left when the scope ends.
class ScopedLock {
public:
    explicit ScopedLock(Lock& lock) : lock_(lock) { lock_.Enter(); }
    ~ScopedLock() { lock_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Lock& lock_;
};

// A BSTR allocated for one call, freed by SysFreeString.
class ScopedBstr {
public:
    explicit ScopedBstr(const std::u16string& text) : text_(Os().SysAllocString(text)) {}
    ~ScopedBstr() {
        if (text_) Os().SysFreeString(text_);
    }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    Bstr Get() const { return text_; }

private:
    Bstr text_;
};

// A counted COM reference, released when it goes.
class ScopedComPtr {
public:
    ScopedComPtr() = default;
    ~ScopedComPtr() { Reset(); }
    ScopedComPtr(const ScopedComPtr&) = delete;
    ScopedComPtr& operator=(const ScopedComPtr&) = delete;
    ComObject*& Receive() {
        Reset();
        return object_;
    }
    ComObject* Get() const { return object_; }
    void Reset() {
        if (object_) Os().Release(object_);
        object_ = nullptr;
    }

private:
    ComObject* object_ = nullptr;
};

}  // namespace platform
