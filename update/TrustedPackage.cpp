#include "update/TrustedPackage.h"

#include <algorithm>
#include <cctype>

#include "platform/Platform.h"
#include "res/resource.h"

using platform::Os;

namespace update {

namespace {

constexpr const char* kUtility = "winflash.exe";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsListed(const std::vector<TrustedFile>& files, const std::string& name) {
    return std::any_of(files.begin(), files.end(),
                       [&](const TrustedFile& f) { return Lower(f.name) == Lower(name); });
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
    for (const char* kind : {".dll", ".drv", ".ocx", ".cpl"}) {
        if (EndsWith(lower, kind)) return true;
    }
    return lower == std::string(kUtility) + ".local" ||
           lower == std::string(kUtility) + ".manifest";
}

HeldFiles::~HeldFiles() {
    for (platform::KernelHandle file : m_arrFiles) Os().CloseHandle(file);
}

bool HoldTrustedFiles(const std::string& folder, HeldFiles& held) {
    std::optional<std::string> list = Os().LoadResourceData(IDR_TRUSTED_FILES);
    std::optional<std::vector<TrustedFile>> files = list ? ParseTrustedFiles(*list) : std::nullopt;
    if (!files) return false;
    for (const TrustedFile& trusted : *files) {
        platform::KernelHandle file = Os().OpenFileForReading(folder + "\\" + trusted.name);
        if (!file) return false;
        held.Add(file);
        if (!Matches(file, trusted)) return false;
    }
    // Last, so that the utility starts as soon after the look as can be.
    std::optional<std::vector<std::string>> names = Os().ListFolder(folder);
    if (!names) return false;
    return std::none_of(names->begin(), names->end(), [&](const std::string& name) {
        return !IsListed(*files, name) && LoaderMayTake(name);
    });
}

}  // namespace update
