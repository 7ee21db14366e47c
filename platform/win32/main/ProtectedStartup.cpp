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
    std::uint64_t seed =
        static_cast<std::uint64_t>(counter.QuadPart) ^
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) ^
        static_cast<std::uint64_t>(GetCurrentProcessId()) << 16 ^ GetCurrentThreadId() ^
        GetTickCount() ^ reinterpret_cast<std::uintptr_t>(&counter);
    // A 64-bit guard keeps the whole seed; a 32-bit one folds in its upper half.
    std::uintptr_t guard =
        static_cast<std::uintptr_t>(sizeof(std::uintptr_t) == 4 ? seed ^ seed >> 32 : seed);
    __stack_chk_guard = reinterpret_cast<void*>(guard ? guard : 0x2B992DDF);
    return WinMainCRTStartup();
}
