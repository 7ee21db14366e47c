#include "tools/uidriver/Output.h"

#include <windows.h>

#include <vector>

namespace uidriver {

namespace {

void Write(DWORD which, const std::string& bytes) {
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || !handle) return;
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), buffer.data(), size,
                        nullptr, nullptr);
    return std::string(buffer.data(), buffer.size());
}

void Print(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, utf8); }

void Error(const std::string& utf8) { Write(STD_ERROR_HANDLE, "uidriver: " + utf8 + "\n"); }

}  // namespace uidriver
