// Portable names for the operating system's handles, records and constants.
// The values are the Win32 ones; the core never includes <windows.h>.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Opaque handles. The Win32 layer casts them to HWND, HDC, HKEY, ...;
// the test double hands out its own pointers.
struct OpaqueWindow;
struct OpaqueDc;
struct OpaqueGdiObject;
struct OpaqueIcon;
struct OpaqueKey;
struct OpaqueHandle;
struct ComObject;

using WindowHandle = OpaqueWindow*;
using DcHandle = OpaqueDc*;
using GdiObject = OpaqueGdiObject*;  // bitmaps, brushes
using IconHandle = OpaqueIcon*;
using KeyHandle = OpaqueKey*;
using KernelHandle = OpaqueHandle*;  // processes, threads, mutexes

using Lresult = std::intptr_t;
using Wparam = std::uintptr_t;
using Lparam = std::intptr_t;
using Hresult = std::int32_t;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct PowerStatus {
    std::uint8_t acLineStatus = 255;
    std::uint8_t batteryLifePercent = 255;
};

// A message as the UI loop takes it from the queue.
struct QueuedMessage {
    WindowHandle window = nullptr;
    unsigned message = 0;
    Wparam wParam = 0;
    Lparam lParam = 0;
};

// The registry roots the program uses.
enum class RegistryRoot { Users, LocalMachine };

// A property value read or put through WMI, reduced to what the program uses.
struct Variant {
    enum class Type { Empty, String, NullString, Other };
    Type type = Type::Empty;
    std::uint32_t otherType = 0;  // the VARTYPE when type is Other
    std::u16string text;          // when type is String
    std::int32_t integer = 0;     // when otherType is kVtI4, as WMI gives its 32-bit integers

    static constexpr std::uint32_t kVtI4 = 3;  // VT_I4
    static Variant Integer(std::int32_t value) { return Variant{Type::Other, kVtI4, {}, value}; }
    static Variant String(std::u16string value) { return Variant{Type::String, 0, value, 0}; }
};

// Result of creating the named single-instance mutex.
enum class MutexResult { Created, AlreadyExists, Failed };

// A top-level window as the window system lists it.
struct TopLevelWindow {
    WindowHandle window = nullptr;
    unsigned long processId = 0;
    bool visible = false;
    bool topmost = false;
    bool minimised = false;
    // Hidden by the system although visible.
    bool cloaked = false;
    Rect frame;              // in screen coordinates
    bool onDisplay = false;  // some of it lies on a display
};

struct ProcessInfo {
    KernelHandle process = nullptr;
    KernelHandle thread = nullptr;
    unsigned long processId = 0;
};

}  // namespace platform
