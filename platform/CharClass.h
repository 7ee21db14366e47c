// Character classes of the C locale, as the standard library's number
// conversions see them, whatever locale the process runs in.
#pragma once

namespace platform {

// Blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace platform
