// Folders and the shell's folder paths.
#include <shlobj.h>

#include "platform/win32/Win32Handles.h"
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

KernelHandle Win32Platform::OpenFileForReading(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : FromHandle(file);
}

bool Win32Platform::ReadFile(KernelHandle file, void* buffer, unsigned long size,
                             unsigned long& read) {
    DWORD got = 0;
    const bool ok = ::ReadFile(ToHandle(file), buffer, size, &got, nullptr) != FALSE;
    read = got;
    return ok;
}

bool Win32Platform::GetFileSize(KernelHandle file, std::uint64_t& size) {
    LARGE_INTEGER length = {};
    if (!::GetFileSizeEx(ToHandle(file), &length)) return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

std::optional<std::vector<std::string>> Win32Platform::ListFolder(const std::string& path) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::string> names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search, &found));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(search);
    if (!complete) return std::nullopt;
    return names;
}

}  // namespace platform
