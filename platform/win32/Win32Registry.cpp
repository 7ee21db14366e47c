// The registry through its 8-bit calls, in the 32-bit view: the view the
// released 32-bit program has on 64-bit Windows, which the 64-bit build takes
// too (on 32-bit Windows there is only the one view).
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::Users ? HKEY_USERS : HKEY_LOCAL_MACHINE;
}

constexpr REGSAM kView = KEY_WOW64_32KEY;

}  // namespace

long Win32Platform::RegOpenKeyExA(RegistryRoot root, const std::string& subKey,
                                  unsigned long options, unsigned long access, KeyHandle& key) {
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(RootKey(root), subKey.c_str(), options, access | kView, &opened);
    key = result == ERROR_SUCCESS ? FromHkey(opened) : nullptr;
    return result;
}

long Win32Platform::RegCreateKeyA(RegistryRoot root, const std::string& subKey, KeyHandle& key) {
    HKEY opened = nullptr;
    // What RegCreateKeyA does, in the view.
    LONG result = ::RegCreateKeyExA(RootKey(root), subKey.c_str(), 0, nullptr,
                                    REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED | kView, nullptr,
                                    &opened, nullptr);
    key = result == ERROR_SUCCESS ? FromHkey(opened) : nullptr;
    return result;
}

long Win32Platform::RegSetValueExA(KeyHandle key, const std::string& name, unsigned long type,
                                   const void* data, unsigned long size) {
    return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                            size);
}

long Win32Platform::RegCloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

long Win32Platform::SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                                   const std::string& value) {
    // What SHDeleteValueA does, in the view.
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, KEY_SET_VALUE | kView, &opened);
    if (result != ERROR_SUCCESS) return result;
    result = ::RegDeleteValueA(opened, value.c_str());
    ::RegCloseKey(opened);
    return result;
}

}  // namespace platform
