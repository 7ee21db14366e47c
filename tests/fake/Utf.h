// UTF-8 <-> UTF-16, the double's stand-in for the system's code-page conversions.
#pragma once

#include <string>

namespace fake {

std::string Utf8FromUtf16(const std::u16string& text);
std::u16string Utf16FromUtf8(const std::string& text);

}  // namespace fake
