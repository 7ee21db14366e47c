// The test program's entry.
#include <gtest/gtest.h>

#include "platform/win32/WindowsApi.h"

namespace {

// Under Wine on a display without a window manager (Xvfb), every window that
// goes costs a 2 s wait for the manager, unless Wine leaves its windows
// unmanaged. Set that for this program only; Wine reads it when a process
// starts, so it holds from the second run in a prefix on.
void UnmanagedWindowsUnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    if (!ntdll || !::GetProcAddress(ntdll, "wine_get_version")) return;
    HKEY key = nullptr;
    if (::RegCreateKeyA(HKEY_CURRENT_USER,
                        "Software\\Wine\\AppDefaults\\platform_tests.exe\\X11 Driver",
                        &key) != ERROR_SUCCESS) {
        return;
    }
    ::RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    ::RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
    UnmanagedWindowsUnderWine();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
