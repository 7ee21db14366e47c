// The list of files the program was built for, as the build writes it into
// the resource IDR_TRUSTED_FILES.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "update/Sha256.h"

namespace update {

struct TrustedFile {
    // Relative to the work folder, a backslash between folder and file.
    std::string name;
    std::uint64_t size = 0;
    Digest digest = {};
};

// Reads the list: one "<SHA-256 in lower-case hex> <size> <name>\n" line
// each, the name being the rest of the line. Each part of a name is one that
// Windows can hold (printable ASCII without \/:*?"<>|, not . or .., no
// trailing dot or blank, no device name such as CON or COM1.txt), and no name
// equals another, nor a folder on another's path, in any case. nullopt when
// a line breaks these rules or the list is empty.
std::optional<std::vector<TrustedFile>> ParseTrustedFiles(const std::string& text);

}  // namespace update
