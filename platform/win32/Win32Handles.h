// Conversions between the portable handle types and the system's.
#pragma once

#include "platform/win32/Win32Platform.h"

namespace platform {

inline HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline WindowHandle FromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

inline HDC ToHdc(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
inline DcHandle FromHdc(HDC dc) { return reinterpret_cast<DcHandle>(dc); }

inline HGDIOBJ ToGdi(GdiObject object) { return reinterpret_cast<HGDIOBJ>(object); }
inline GdiObject FromGdi(HGDIOBJ object) { return reinterpret_cast<GdiObject>(object); }

inline HICON ToHicon(IconHandle icon) { return reinterpret_cast<HICON>(icon); }
inline IconHandle FromHicon(HICON icon) { return reinterpret_cast<IconHandle>(icon); }

inline HKEY ToHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
inline KeyHandle FromHkey(HKEY key) { return reinterpret_cast<KeyHandle>(key); }

inline HANDLE ToHandle(KernelHandle handle) { return reinterpret_cast<HANDLE>(handle); }
inline KernelHandle FromHandle(HANDLE handle) { return reinterpret_cast<KernelHandle>(handle); }

// A function looked up at run time, as the type it is called through.
template <class Function>
Function GetFunction(HMODULE module, const char* name) {
    if (!module) return nullptr;
    FARPROC address = ::GetProcAddress(module, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// From a system DLL the process has loaded already.
template <class Function>
Function GetSystemFunction(const char* module, const char* name) {
    return GetFunction<Function>(::GetModuleHandleA(module), name);
}

// Loads a DLL of the system folder by its full path; null when it is not
// there. It stays loaded for the life of the process, as an import would.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace platform
