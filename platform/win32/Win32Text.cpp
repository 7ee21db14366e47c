// String resources and conversions in the thread's ANSI code page.
#include <mbstring.h>

#include <cstring>
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

// Converts up to the first NUL of the given text; empty when it cannot.
std::string Narrow(const wchar_t* text, int length) {
    int size = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    result.resize(std::strlen(result.c_str()));
    return result;
}

}  // namespace

bool Win32Platform::LoadStringA(unsigned id, std::string& text) {
    // With no buffer size the loader hands out the read-only resource text.
    const wchar_t* resource = nullptr;
    int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || !resource) return false;
    std::string converted = Narrow(resource, length);
    if (converted.empty()) return false;
    text = converted;
    return true;
}

std::optional<std::string> Win32Platform::LoadResourceData(unsigned id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    return std::string(static_cast<const char*>(data), ::SizeofResource(module, found));
}

std::string Win32Platform::AnsiFromUtf16(const std::u16string& text) {
    std::wstring wide(text.begin(), text.end());
    return Narrow(wide.c_str(), -1);
}

std::u16string Win32Platform::Utf16FromAnsi(const std::string& text) {
    int size = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return std::u16string();
    std::vector<wchar_t> wide(static_cast<size_t>(size));
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, wide.data(), size);
    return std::u16string(wide.begin(),
                          wide.begin() + static_cast<ptrdiff_t>(std::wcslen(wide.data())));
}

void Win32Platform::MbsUpr(std::string& text) {
    if (text.empty()) return;
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    // _mbsupr, not _mbsupr_s: XP's msvcrt.dll has none of the _s functions.
    ::_mbsupr(buffer.data());
    std::memcpy(&text[0], buffer.data(), text.size());
}

}  // namespace platform
