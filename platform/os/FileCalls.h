// Files and folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

class FileCalls {
public:
    virtual bool RemoveDirectoryA(const std::string& path) = 0;
    virtual bool CreateDirectoryA(const std::string& path) = 0;
    // Fills path (at most 259 characters) with the folder's path.
    virtual Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) = 0;
    // An existing file opened for reading that others may only read while
    // it is open: no writing, renaming or deleting. Null when it cannot be.
    virtual KernelHandle OpenFileForReading(const std::string& path) = 0;
    // Reads up to size bytes; read is 0 at the end.
    virtual bool ReadFile(KernelHandle file, void* buffer, unsigned long size,
                          unsigned long& read) = 0;
    virtual bool GetFileSize(KernelHandle file, std::uint64_t& size) = 0;
    // The names of the files and folders in a folder; nullopt when it
    // cannot be read.
    virtual std::optional<std::vector<std::string>> ListFolder(const std::string& path) = 0;

protected:
    ~FileCalls() = default;
};

}  // namespace platform
