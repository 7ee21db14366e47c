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
#ifdef _WIN64
    // Program Files as the released 32-bit program sees it on 64-bit Windows
    // ("Program Files (x86)"). The 32-bit program asks as it is: the folder
    // id for 64-bit Windows is not documented for 32-bit XP.
    if (csidl == CSIDL_PROGRAM_FILES) csidl = CSIDL_PROGRAM_FILESX86;
#endif
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

// No delete sharing: while the handle is open nobody can rename or delete the
// entry, so no link can take its place.
KernelHandle Win32Platform::OpenFolderToHold(const std::string& path) {
    HANDLE folder = ::CreateFileA(
        path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return folder == INVALID_HANDLE_VALUE ? nullptr : FromHandle(folder);
}

KernelHandle Win32Platform::OpenFileToHold(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : FromHandle(file);
}

std::optional<unsigned long> Win32Platform::ReparseTagOf(const std::string& path) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    } else {
        // A drive's or share's root is no folder's entry.
        found.dwFileAttributes = ::GetFileAttributesA(path.c_str());
        if (found.dwFileAttributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    }
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    if (found.dwReserved0 == 0) return std::nullopt;
    return found.dwReserved0;
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

std::optional<std::vector<FolderEntry>> Win32Platform::ListFolder(const std::string& path) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<FolderEntry> names;
    do {
        FolderEntry entry;
        entry.name = found.cFileName;
        entry.shortName = found.cAlternateFileName;
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (entry.name != "." && entry.name != "..") names.push_back(entry);
    } while (::FindNextFileA(search, &found));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(search);
    if (!complete) return std::nullopt;
    return names;
}

}  // namespace platform
