// The registry through its 8-bit calls.
#include <shlwapi.h>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::Users ? HKEY_USERS : HKEY_LOCAL_MACHINE;
}

}  // namespace

long Win32Platform::RegOpenKeyExA(RegistryRoot root, const std::string& subKey,
                                  unsigned long options, unsigned long access, KeyHandle& key) {
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExA(RootKey(root), subKey.c_str(), options, access, &opened);
    key = result == ERROR_SUCCESS ? FromHkey(opened) : nullptr;
    return result;
}

long Win32Platform::RegCreateKeyA(RegistryRoot root, const std::string& subKey, KeyHandle& key) {
    HKEY opened = nullptr;
    LONG result = ::RegCreateKeyA(RootKey(root), subKey.c_str(), &opened);
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
    return static_cast<long>(::SHDeleteValueA(RootKey(root), subKey.c_str(), value.c_str()));
}

}  // namespace platform
