// The double's files and folders.
#include "tests/fake/FakePlatform.h"
#include "tests/fake/Paths.h"

namespace fake {

namespace {
bool IsDriveRoot(const std::string& path) { return path.size() == 2 && path[1] == ':'; }
}  // namespace

void FakePlatform::AddDirectory(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (std::string p = Lower(path); !p.empty() && !IsDriveRoot(p); p = ParentOf(p)) {
        directories_.insert(p);
    }
}

void FakePlatform::AddFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddDirectory(ParentOf(path));
    files_.insert(Lower(path));
}

bool FakePlatform::DirectoryExists(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return directories_.count(Lower(path)) != 0;
}

bool FakePlatform::FileExists(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return files_.count(Lower(path)) != 0;
}

bool FakePlatform::RemoveDirectoryA(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RemoveDirectory " + path);
    const std::string dir = Lower(path);
    if (!directories_.count(dir)) return false;
    const std::string inside = dir + "\\";
    auto holds = [&](const std::set<std::string>& entries) {
        auto next = entries.lower_bound(inside);
        return next != entries.end() && next->compare(0, inside.size(), inside) == 0;
    };
    if (holds(files_) || holds(directories_)) return false;
    directories_.erase(dir);
    return true;
}

bool FakePlatform::CreateDirectoryA(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateDirectory " + path);
    const std::string dir = Lower(path);
    const std::string parent = ParentOf(dir);
    if (directories_.count(dir) || files_.count(dir)) return false;
    if (!IsDriveRoot(parent) && !directories_.count(parent)) return false;
    directories_.insert(dir);
    return true;
}

platform::Hresult FakePlatform::SHGetFolderPathA(int csidl, unsigned flags, std::string& path) {
    Record("SHGetFolderPath " + std::to_string(csidl) + " " + std::to_string(flags));
    path = programFiles.substr(0, 259);
    return programFilesResult;
}

}  // namespace fake
