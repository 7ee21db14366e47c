// What the simulated notebook looks like from inside Wine.
#pragma once

#include <string>

namespace uidriver {

// key=value lines: power status, locales, code page, screen size and the
// firmware vendor and version from the SMBIOS table.
std::string ProbeReport();

}  // namespace uidriver
