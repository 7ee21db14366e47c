// The double's strings: the program's string table; its ANSI code page is UTF-8.
#include "res/resource.h"
#include "tests/fake/FakePlatform.h"
#include "tests/fake/Utf.h"

namespace fake {

bool FakePlatform::LoadStringA(unsigned id, std::string& text) {
    Record("LoadString " + std::to_string(id));
    if (missingStrings.count(id)) return false;
    const char* found = FindString(id, uiLanguage);
    if (!found || !*found) return false;
    text = found;
    return true;
}

std::optional<std::string> FakePlatform::LoadResourceData(unsigned id) {
    Record("LoadResourceData " + std::to_string(id));
    if (id != IDR_TRUSTED_FILES) return std::nullopt;
    return trustedFiles;
}

std::string FakePlatform::AnsiFromUtf16(const std::u16string& text) { return Utf8FromUtf16(text); }

std::u16string FakePlatform::Utf16FromAnsi(const std::string& text) { return Utf16FromUtf8(text); }

void FakePlatform::MbsUpr(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

}  // namespace fake
