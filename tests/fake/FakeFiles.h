// The double's file system: folders and files by lower-case path.
#pragma once

#include <set>
#include <string>

#include "platform/Types.h"

namespace fake {

class FileState {
public:
    std::string programFiles = "C:\\Program Files";
    platform::Hresult programFilesResult = 0;

protected:
    std::set<std::string> directories_;  // lower case
    std::set<std::string> files_;        // lower case
};

}  // namespace fake
