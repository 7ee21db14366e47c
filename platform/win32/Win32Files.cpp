// Folders and the shell's folder paths.
#include <shlobj.h>

#include "platform/win32/Win32Platform.h"

namespace platform {

bool Win32Platform::RemoveDirectoryA(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32Platform::CreateDirectoryA(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

Hresult Win32Platform::SHGetFolderPathA(int csidl, unsigned flags, std::string& path) {
    // Program Files as the released 32-bit program sees it on 64-bit Windows
    // ("Program Files (x86)"), for the 64-bit build too; on 32-bit Windows
    // the two are one folder.
    if (csidl == CSIDL_PROGRAM_FILES) csidl = CSIDL_PROGRAM_FILESX86;
    char buffer[MAX_PATH] = {};
    HRESULT result = ::SHGetFolderPathA(nullptr, csidl, nullptr, flags, buffer);
    buffer[MAX_PATH - 1] = '\0';
    path = buffer;
    return result;
}

}  // namespace platform
