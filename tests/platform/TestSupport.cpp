#include "TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform_test {

bool KoreanSession() {
    const char* language = std::getenv("BIOSUPDATE_TEST_LANGUAGE");
    return language && std::strcmp(language, "korean") == 0;
}

std::string ProgramDirectory() {
    std::vector<char> path(32768);
    DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::string program(path.data(), length);
    return program.substr(0, program.find_last_of('\\'));
}

ScratchFolder::ScratchFolder(const std::string& name) {
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "BIOSUpdatePlatformTests-" +
            std::to_string(::GetCurrentProcessId()) + "\\" + name;
    RemoveTree(path_);
    CreateFolders(path_);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
    // The per-process parent goes too once it is empty.
    ::RemoveDirectoryA(path_.substr(0, path_.find_last_of('\\')).c_str());
}

namespace {

std::wstring LongPath(const std::string& path) {
    int size = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(size));
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
    return L"\\\\?\\" + std::wstring(wide.data());
}

}  // namespace

bool PathExists(const std::string& path) {
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = ::GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == text.size();
}

std::string ReadTextFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    ::CloseHandle(file);
    return text;
}

bool CopyToPath(const std::string& source, const std::string& target) {
    return ::CopyFileW(LongPath(source).c_str(), LongPath(target).c_str(), FALSE) != FALSE;
}

bool CreateFolders(const std::string& path) {
    for (size_t slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        ::CreateDirectoryW(LongPath(path.substr(0, slash)).c_str(), nullptr);
    }
    ::CreateDirectoryW(LongPath(path).c_str(), nullptr);
    return IsDirectory(path);
}

namespace {

void RemoveWideTree(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW entry = {};
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") RemoveWideTree(path + L"\\" + name);
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

void RemoveTree(const std::string& path) { RemoveWideTree(LongPath(path)); }

unsigned long long Milliseconds() { return ::GetTickCount64(); }

}  // namespace platform_test
