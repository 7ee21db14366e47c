// The double's file system: folders and files by lower-case path.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/Types.h"

namespace fake {

class FileState {
public:
    std::string programFiles = "C:\\Program Files";
    platform::Hresult programFilesResult = 0;
    // The program's RCDATA resource with the trusted files; none when unset.
    std::optional<std::string> trustedFiles;
    std::set<std::string> caseTwins;  // listed only, as a case-sensitive folder holds them

protected:
    struct OpenFile {
        std::string path;  // lower case
        std::uint64_t offset = 0;
    };

    std::set<std::string> directories_;            // lower case
    std::set<std::string> files_;                  // lower case
    std::map<std::string, std::string> contents_;  // by lower-case path
    std::map<platform::KernelHandle, OpenFile> openFiles_;
};

}  // namespace fake
