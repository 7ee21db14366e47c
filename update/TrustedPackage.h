// The files of the work folder the program was built for, and the check that
// the folder holds them unchanged before the flash utility runs.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Scoped.h"
#include "update/TrustedList.h"

namespace update {

// Whether the system's loader, or a program started by its bare name, could
// take a file of this name from the utility's folder, by its long name or by
// its short one. Other files there are data.
bool LoaderMayTake(const std::string& name);

// Whether a reparse point of this tag leads elsewhere by name (a junction or
// a symbolic link), or could (its tag, nullopt, cannot be read). 0 is no
// reparse point; one that keeps a file's data elsewhere is no link.
bool RedirectsName(std::optional<unsigned long> tag);

// Every folder from the root of path's drive or share down to path itself;
// empty when path names no such root.
std::vector<std::string> FoldersOnPath(const std::string& path);

enum class PackageCheck {
    AsBuilt,   // every listed file unchanged, all of it held
    Changed,   // refused: a file differs, is missing or is not itself
    Unusable,  // refused, whatever its files: a listed file's path does not
               // fit, or the folder's path has no root that opens, or a
               // folder on it that does not or is a link
};

// The work folder the program was built for, held as it was checked until
// the owner goes.
class HeldPackage : platform::NoCopy {
public:
    HeldPackage() = default;
    ~HeldPackage();

    // Opens each folder from the drive's root down to folder, each folder of
    // a listed file, and each listed file, as itself: none may be a link, and
    // none can be renamed or deleted while held. Only folder itself may be
    // missing without making the folder Unusable: its files are missing. Then reads each listed
    // file to its end through a handle of its own that lets others only read, checking its size and
    // digest, and looks at the folder (LooksAsBuilt).
    PackageCheck Hold(const std::string& folder);

    // The folder and its listed subfolders hold no unlisted folder, no
    // unlisted file the loader could take, and no second entry of a listed
    // name in another case. Looked at again just before the utility runs.
    bool LooksAsBuilt() const;

private:
    bool Keep(platform::KernelHandle handle, const std::string& path);

    std::string m_strFolder;
    std::set<std::string> m_listed;      // lower-case paths below the folder
    std::set<std::string> m_subfolders;  // lower-case, each after its parent
    std::vector<platform::KernelHandle> m_arrHandles;
};

}  // namespace update
