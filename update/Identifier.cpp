#include "update/Identifier.h"

#include <limits>

#include "platform/CharClass.h"

namespace update {

using platform::IsSpace;

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsHexPrefix(const std::string& text, std::size_t i) {
    return i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
}

}  // namespace

std::string PlatformCode(const std::string& identifier) { return identifier.substr(0, 5); }

std::int32_t ReadRevision(const std::string& identifier) {
    constexpr std::size_t kStart = 7;
    constexpr std::size_t kLength = 8;
    if (identifier.size() <= kStart) return 0;
    const std::string text = identifier.substr(kStart, kLength);

    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // "0x" counts as a prefix only when a digit follows; else the 0 is the number.
    if (IsHexPrefix(text, i) && i + 2 < text.size() && HexDigit(text[i + 2]) >= 0) i += 2;

    // Eight characters hold at most 0xFFFFFFFF, so 64 bits never overflow.
    std::int64_t magnitude = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
        magnitude = magnitude * 16 + HexDigit(text[i]);
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

Outcome Compare(const std::string& running, const std::string& packaged) {
    if (PlatformCode(running) != PlatformCode(packaged)) return Outcome::OtherPlatform;
    std::int32_t runningRevision = ReadRevision(running);
    std::int32_t packagedRevision = ReadRevision(packaged);
    if (runningRevision > packagedRevision) return Outcome::PackageOlder;
    if (runningRevision == packagedRevision) return Outcome::SameVersion;
    return Outcome::PackageNewer;
}

}  // namespace update
