// Files and folders.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

class FileCalls {
public:
    virtual bool RemoveDirectoryA(const std::string& path) = 0;
    virtual bool CreateDirectoryA(const std::string& path) = 0;
    // Fills path (at most 259 characters) with the folder's path.
    virtual Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) = 0;

protected:
    ~FileCalls() = default;
};

}  // namespace platform
