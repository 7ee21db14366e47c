// Reading one registry value the way the program's own 8-bit calls see it.
#pragma once

#include <string>

namespace uidriver {

// key: ROOT\path with ROOT one of HKLM, HKCU, HKU, HKCR (or their long
// names). On success fills report with key=value lines: type, bytes (the
// byte count of the 8-bit read), hex (the bytes) and text (UTF-8, without
// trailing NULs).
bool DescribeRegistryValue(const std::wstring& key, const std::wstring& name, std::string* report);

}  // namespace uidriver
