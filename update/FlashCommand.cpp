#include "update/FlashCommand.h"

#include "app/WorkFolder.h"
#include "update/Identifier.h"

namespace update {

std::string QuoteIfBlank(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

std::optional<FlashLaunch> BuildFlashLaunch(const std::string& modulePath) {
    std::optional<std::string> folder = app::WorkFolderOf(modulePath);
    if (!folder) return std::nullopt;
    FlashLaunch launch;
    launch.directory = *folder;
    launch.application = *folder + "\\winflash.exe";
    const std::string image = *folder + "\\" + kPackagedIdentifier;
    launch.commandLine = QuoteIfBlank(launch.application) + " " + QuoteIfBlank(image) + " /NOWMSG";
    return launch;
}

bool CanStartIn(const FlashLaunch& launch) {
    return launch.directory.size() + 2 <= app::kMaxPath &&
           launch.application.size() + 1 <= app::kMaxPath;
}

}  // namespace update
