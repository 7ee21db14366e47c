#include "update/TrustedPackage.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "app/WorkFolder.h"
#include "platform/Platform.h"
#include "res/resource.h"

using platform::Os;

namespace update {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Size and digest read through the open handle, to its end.
bool Matches(platform::KernelHandle file, const TrustedFile& trusted) {
    std::uint64_t size = 0;
    if (!Os().GetFileSize(file, size) || size != trusted.size) return false;
    Sha256 hash;
    std::vector<unsigned char> chunk(64 * 1024);
    std::uint64_t total = 0;
    for (;;) {
        unsigned long read = 0;
        if (!Os().ReadFile(file, chunk.data(), static_cast<unsigned long>(chunk.size()), read)) {
            return false;
        }
        if (read == 0) break;
        hash.Update(chunk.data(), read);
        total += read;
    }
    return total == trusted.size && hash.Final() == trusted.digest;
}

}  // namespace

bool LoaderMayTake(const std::string& name) {
    const std::string lower = Lower(name);
    for (const char* kind : {".dll", ".drv", ".ocx", ".cpl", ".sys", ".exe", ".com", ".bat", ".cmd",
                             ".mui", ".local", ".manifest"}) {
        if (EndsWith(lower, kind)) return true;
    }
    return false;
}

bool RedirectsName(std::optional<unsigned long> tag) {
    constexpr unsigned long kNameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
    return !tag || (*tag & kNameSurrogate) != 0;
}

std::vector<std::string> FoldersOnPath(const std::string& path) {
    std::size_t root = 0;  // where the root's trailing backslash stands
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\') {
        root = 2;
    } else if (path.rfind("\\\\", 0) == 0) {
        const std::size_t server = path.find('\\', 2);
        root = server == std::string::npos ? server : path.find('\\', server + 1);
    }
    if (root == 0 || root == std::string::npos) return {};
    std::vector<std::string> folders{path.substr(0, root + 1)};
    for (std::size_t at = root + 1; at < path.size();) {
        const std::size_t end = std::min(path.find('\\', at), path.size());
        if (end == at) return {};  // an empty name
        folders.push_back(path.substr(0, end));
        at = end + 1;
    }
    return folders;
}

HeldPackage::~HeldPackage() {
    for (auto handle = m_arrHandles.rbegin(); handle != m_arrHandles.rend(); ++handle) {
        Os().CloseHandle(*handle);
    }
}

// Held from here on, whatever the verdict; false when it is a link.
bool HeldPackage::Keep(platform::KernelHandle handle, const std::string& path) {
    if (!handle) return false;
    m_arrHandles.push_back(handle);
    return !RedirectsName(Os().ReparseTagOf(path));
}

PackageCheck HeldPackage::Hold(const std::string& folder) {
    std::optional<std::string> list = Os().LoadResourceData(IDR_TRUSTED_FILES);
    std::optional<std::vector<TrustedFile>> files = list ? ParseTrustedFiles(*list) : std::nullopt;
    if (!files) return PackageCheck::Changed;
    m_strFolder = folder;
    for (const TrustedFile& trusted : *files) {
        if (folder.size() + 1 + trusted.name.size() >= app::kMaxPath) return PackageCheck::Unusable;
        const std::string name = Lower(trusted.name);
        m_listed.insert(name);
        for (std::size_t at = name.find('\\'); at != std::string::npos;
             at = name.find('\\', at + 1)) {
            m_subfolders.insert(name.substr(0, at));
        }
    }
    const std::vector<std::string> onPath = FoldersOnPath(folder);
    if (onPath.empty()) return PackageCheck::Unusable;
    for (const std::string& path : onPath) {
        platform::KernelHandle handle = Os().OpenFolderToHold(path);
        if (!handle && path == folder) return PackageCheck::Changed;
        if (!Keep(handle, path)) return PackageCheck::Unusable;
    }
    for (const std::string& sub : m_subfolders) {
        const std::string path = folder + "\\" + sub;
        if (!Keep(Os().OpenFolderToHold(path), path)) return PackageCheck::Changed;
    }
    for (const TrustedFile& trusted : *files) {
        const std::string path = folder + "\\" + trusted.name;
        if (!Keep(Os().OpenFileToHold(path), path)) return PackageCheck::Changed;
        // Through the reparse point, if any, so that its data are read.
        platform::KernelHandle file = Os().OpenFileForReading(path);
        if (!file) return PackageCheck::Changed;
        m_arrHandles.push_back(file);
        if (!Matches(file, trusted)) return PackageCheck::Changed;
    }
    return LooksAsBuilt() ? PackageCheck::AsBuilt : PackageCheck::Changed;
}

bool HeldPackage::LooksAsBuilt() const {
    std::vector<std::string> below{""};
    below.insert(below.end(), m_subfolders.begin(), m_subfolders.end());
    for (const std::string& sub : below) {
        const std::string prefix = sub.empty() ? sub : sub + "\\";
        std::optional<std::vector<platform::FolderEntry>> entries =
            Os().ListFolder(sub.empty() ? m_strFolder : m_strFolder + "\\" + sub);
        if (!entries) return false;
        std::map<std::string, int> claims;  // entries by lower-case long or short name
        for (const platform::FolderEntry& entry : *entries) {
            const std::string path = Lower(prefix + entry.name);
            const bool allowed =
                entry.folder ? m_subfolders.count(path) != 0
                             : m_listed.count(path) != 0 ||
                                   !(LoaderMayTake(entry.name) || LoaderMayTake(entry.shortName));
            if (!allowed) return false;
            ++claims[path];
            const std::string shortPath = Lower(prefix + entry.shortName);
            if (!entry.shortName.empty() && shortPath != path) ++claims[shortPath];
        }
        // A case-sensitive folder may hold a twin of a listed name in another case.
        for (const auto& [path, count] : claims) {
            if (count > 1 && (m_listed.count(path) != 0 || m_subfolders.count(path) != 0)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace update
