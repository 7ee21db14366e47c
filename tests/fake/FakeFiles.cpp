// The double's files and folders.
#include <algorithm>
#include <cstring>

#include "tests/fake/FakePlatform.h"
#include "tests/fake/Paths.h"
#include "update/Sha256.h"

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

void FakePlatform::AddFile(const std::string& path, const std::string& contents) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddDirectory(ParentOf(path));
    files_.insert(Lower(path));
    contents_[Lower(path)] = contents;
}

void FakePlatform::AddPackage() {
    const std::pair<const char*, std::string> package[] = {
        {"K38KRPA24", std::string("stand-in image\n") + std::string(70000, '\x5A')},
        {"winflash.exe", "MZ stand-in utility"},
    };
    trustedFiles = "";
    for (const auto& [name, contents] : package) {
        AddFile(std::string(kWorkFolder) + "\\" + name, contents);
        update::Sha256 hash;
        hash.Update(contents.data(), contents.size());
        *trustedFiles +=
            update::HexOf(hash.Final()) + " " + std::to_string(contents.size()) + " " + name + "\n";
    }
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

platform::KernelHandle FakePlatform::OpenFileForReading(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("OpenFileForReading " + path);
    if (!files_.count(Lower(path))) return nullptr;
    platform::KernelHandle file = NewHandle("file");
    openFiles_[file] = OpenFile{Lower(path), 0};
    return file;
}

platform::KernelHandle FakePlatform::OpenFolderToHold(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("OpenFolderToHold " + path);
    std::string dir = Lower(path);
    if (dir.size() == 3 && dir[2] == '\\') dir.pop_back();
    if (!IsDriveRoot(dir) && !directories_.count(dir)) return nullptr;
    return NewHandle("folder");
}

platform::KernelHandle FakePlatform::OpenFileToHold(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("OpenFileToHold " + path);
    if (!files_.count(Lower(path))) return nullptr;
    return NewHandle("file");
}

// The double knows no reparse points.
std::optional<unsigned long> FakePlatform::ReparseTagOf(const std::string&) { return 0; }

bool FakePlatform::ReadFile(platform::KernelHandle file, void* buffer, unsigned long size,
                            unsigned long& read) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto open = openFiles_.find(file);
    if (open == openFiles_.end() || !openHandles_.count(file)) return false;
    const std::string& contents = contents_[open->second.path];
    const std::uint64_t left =
        contents.size() - std::min<std::uint64_t>(open->second.offset, contents.size());
    read = static_cast<unsigned long>(std::min<std::uint64_t>(left, size));
    std::memcpy(buffer, contents.data() + open->second.offset, read);
    open->second.offset += read;
    return true;
}

bool FakePlatform::GetFileSize(platform::KernelHandle file, std::uint64_t& size) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto open = openFiles_.find(file);
    if (open == openFiles_.end() || !openHandles_.count(file)) return false;
    size = contents_[open->second.path].size();
    return true;
}

std::optional<std::vector<platform::FolderEntry>> FakePlatform::ListFolder(
    const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::string dir = Lower(path);
    if (!directories_.count(dir)) return std::nullopt;
    std::vector<platform::FolderEntry> names;
    for (const std::set<std::string>* entries : {&files_, &directories_}) {
        for (const std::string& entry : *entries) {
            if (ParentOf(entry) != dir) continue;
            platform::FolderEntry found;
            found.name = entry.substr(dir.size() + 1);
            found.folder = entries == &directories_;
            names.push_back(found);
        }
    }
    for (const std::string& twin : caseTwins) {
        if (Lower(ParentOf(twin)) == dir) names.push_back({twin.substr(dir.size() + 1), "", false});
    }
    return names;
}

}  // namespace fake
