#include "app/WorkFolder.h"

#include "platform/Platform.h"

namespace app {

std::optional<std::string> WorkFolderOf(const std::string& modulePath) {
    std::size_t slash = modulePath.rfind('\\');
    if (slash == std::string::npos) return std::nullopt;
    return modulePath.substr(0, slash) + "\\Zarel_bios";
}

std::optional<std::string> CurrentWorkFolder() {
    std::optional<std::string> module = platform::Os().GetModuleFileNameA();
    if (!module || module->size() >= kMaxPath) return std::nullopt;
    std::optional<std::string> folder = WorkFolderOf(*module);
    if (!folder || folder->size() >= kMaxPath) return std::nullopt;
    return folder;
}

}  // namespace app

void RemoveWorkFolder() {
    if (std::optional<std::string> folder = app::CurrentWorkFolder()) {
        platform::Os().RemoveDirectoryA(*folder);
    }
}
