// The files of the work folder the program was built for, and the check that
// the folder holds them unchanged before the flash utility runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Scoped.h"
#include "update/TrustedList.h"

namespace update {

// Whether the system's loader could take a file of this name from the
// utility's folder for the utility.
bool LoaderMayTake(const std::string& name);

// Files held open until the owner goes.
class HeldFiles : platform::NoCopy {
public:
    HeldFiles() = default;
    ~HeldFiles();
    void Add(platform::KernelHandle file) { m_arrFiles.push_back(file); }

private:
    std::vector<platform::KernelHandle> m_arrFiles;
};

// Opens each trusted file of folder for reading, sharing only reading, and
// checks its size and digest through the open handle; the handles go into
// held, so that no file can be changed, replaced or removed while they are
// held. False when a file is missing or differs, when the list cannot be
// read, or when the folder holds an unlisted file the loader could take.
bool HoldTrustedFiles(const std::string& folder, HeldFiles& held);

}  // namespace update
