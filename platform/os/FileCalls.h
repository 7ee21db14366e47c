// Files and folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

// One entry of a folder as its listing names it.
struct FolderEntry {
    std::string name;
    std::string shortName;  // the 8.3 name; empty when it is the name itself
    bool folder = false;
};

class FileCalls {
public:
    virtual bool RemoveDirectoryA(const std::string& path) = 0;
    virtual bool CreateDirectoryA(const std::string& path) = 0;
    // Fills path (at most 259 characters) with the folder's path.
    virtual Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) = 0;
    // An existing file opened for reading that others may only read while
    // it is open: no writing, renaming or deleting. Null when it cannot be.
    virtual KernelHandle OpenFileForReading(const std::string& path) = 0;
    // The entry at path opened as itself, never as what a reparse point on
    // it leads to, so that it can be neither renamed nor deleted while the
    // handle is open. A folder is opened for listing and others may still
    // read and write in it; a file may then only be read. Null when it
    // cannot be opened so.
    virtual KernelHandle OpenFolderToHold(const std::string& path) = 0;
    virtual KernelHandle OpenFileToHold(const std::string& path) = 0;
    // The reparse tag of the entry at path as its folder lists it: 0 when it
    // is no reparse point, nullopt when the tag cannot be read.
    virtual std::optional<unsigned long> ReparseTagOf(const std::string& path) = 0;
    // Reads up to size bytes; read is 0 at the end.
    virtual bool ReadFile(KernelHandle file, void* buffer, unsigned long size,
                          unsigned long& read) = 0;
    virtual bool GetFileSize(KernelHandle file, std::uint64_t& size) = 0;
    // The files and folders in a folder; nullopt when it cannot be read.
    virtual std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path) = 0;

protected:
    ~FileCalls() = default;
};

}  // namespace platform
