// UTF-8 output on the standard handles, byte for byte.
#pragma once

#include <string>

namespace uidriver {

std::string ToUtf8(const std::wstring& text);
void Print(const std::string& utf8);
void Error(const std::string& utf8);

}  // namespace uidriver
