// Resources and text: the string table and the ANSI code page.
#pragma once

#include <string>

namespace platform {

class TextCalls {
public:
    // Loads string N in the user's language, converted with CP_THREAD_ACP.
    // False, and text untouched, when it is missing or empty.
    virtual bool LoadStringA(unsigned id, std::string& text) = 0;
    // The bytes of the program's RCDATA resource id; nullopt when missing.
    virtual std::optional<std::string> LoadResourceData(unsigned id) = 0;
    virtual std::string AnsiFromUtf16(const std::u16string& text) = 0;
    virtual std::u16string Utf16FromAnsi(const std::string& text) = 0;
    // In-place multibyte upper-casing in the system's ANSI code page.
    virtual void MbsUpr(std::string& text) = 0;

protected:
    ~TextCalls() = default;
};

}  // namespace platform
