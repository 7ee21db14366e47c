// BIOS version identifiers, read by character position: the platform code is
// the first five characters, the revision a hexadecimal number from position 7.
#pragma once

#include <cstdint>
#include <string>

namespace update {

inline constexpr const char* kPackagedIdentifier = "K38KRPA24";

// The first five characters, or all of them when the text is shorter.
std::string PlatformCode(const std::string& identifier);

// At most eight characters from position 7, read as a signed hexadecimal
// number (blanks, sign and 0x prefix allowed), clamped to 32 bits; 0 when
// there is no digit.
std::int32_t ReadRevision(const std::string& identifier);

enum class Outcome { OtherPlatform, PackageOlder, SameVersion, PackageNewer };

// Compares two upper-cased identifiers.
Outcome Compare(const std::string& running, const std::string& packaged);

}  // namespace update
