#include "update/TrustedList.h"

#include <cstring>

namespace update {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Digest> ParseDigest(const std::string& hex) {
    Digest digest;
    if (hex.size() != 2 * digest.size()) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}

std::optional<std::uint64_t> ParseSize(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (size > (UINT64_MAX - digit) / 10) return std::nullopt;
        size = size * 10 + digit;
    }
    return size;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name a device in any folder, with any
// extension, and with blanks before it.
bool IsDeviceName(const std::string& part) {
    std::string base = Lower(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* device : {"con", "prn", "aux", "nul"}) {
        if (base == device) return true;
    }
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool IsWindowsName(const std::string& part) {
    if (part.empty() || part == "." || part == "..") return false;
    for (char c : part) {
        if (c < ' ' || c > '~' || std::strchr("\\/:*?\"<>|", c)) return false;
    }
    return part.back() != '.' && part.back() != ' ' && !IsDeviceName(part);
}

bool IsWindowsPath(const std::string& name) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('\\', start);
        if (!IsWindowsName(name.substr(start, end - start))) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// Whether two files cannot both be on disk: the same name, or one a folder
// on the other's path.
bool Clash(const std::string& lowerA, const std::string& lowerB) {
    const std::string& shorter = lowerA.size() <= lowerB.size() ? lowerA : lowerB;
    const std::string& longer = lowerA.size() <= lowerB.size() ? lowerB : lowerA;
    return longer.compare(0, shorter.size(), shorter) == 0 &&
           (longer.size() == shorter.size() || longer[shorter.size()] == '\\');
}

}  // namespace

std::optional<std::vector<TrustedFile>> ParseTrustedFiles(const std::string& text) {
    std::vector<TrustedFile> files;
    std::vector<std::string> lowerNames;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) return std::nullopt;
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t afterDigest = line.find(' ');
        const std::size_t afterSize =
            afterDigest == std::string::npos ? afterDigest : line.find(' ', afterDigest + 1);
        if (afterSize == std::string::npos) return std::nullopt;
        std::optional<Digest> digest = ParseDigest(line.substr(0, afterDigest));
        std::optional<std::uint64_t> size =
            ParseSize(line.substr(afterDigest + 1, afterSize - afterDigest - 1));
        const std::string name = line.substr(afterSize + 1);
        if (!digest || !size || !IsWindowsPath(name)) return std::nullopt;
        const std::string lower = Lower(name);
        for (const std::string& other : lowerNames) {
            if (Clash(lower, other)) return std::nullopt;
        }
        lowerNames.push_back(lower);
        files.push_back(TrustedFile{name, *size, *digest});
    }
    if (files.empty()) return std::nullopt;
    return files;
}

}  // namespace update
