// The entry point of BIOSUpdate.exe in the mingw-w64 build: seeds the stack
// protector's guard, then starts the C runtime. libssp would seed it in a
// constructor through the CryptoAPI, which loads DLLs by the default search
// order before the program restricts it; it keeps a guard that is set.
#include <windows.h>

#include <cstdint>

extern "C" void* __stack_chk_guard;  // libssp
extern "C" int WinMainCRTStartup();  // the mingw-w64 C runtime

extern "C" int ProtectedStartup() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    std::uintptr_t guard = counter.LowPart ^ static_cast<std::uintptr_t>(counter.HighPart) ^
                           now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentProcessId() << 16 ^
                           GetCurrentThreadId() ^ GetTickCount() ^
                           reinterpret_cast<std::uintptr_t>(&counter);
    __stack_chk_guard = reinterpret_cast<void*>(guard ? guard : 0x2B992DDF);
    return WinMainCRTStartup();
}
