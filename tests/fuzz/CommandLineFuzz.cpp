// libFuzzer target: the process command line and the paths built from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/StartupGuards.h"
#include "platform/framework/CWinApp.h"
#include "update/FlashCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string arguments = framework::CutCommandLine(text);
    if (arguments.size() > text.size()) std::abort();
    app::IsCleanupRequest(arguments);
    framework::AppNameFromPath(text);
    if (auto launch = update::BuildFlashLaunch(text)) {
        // The program started is always the utility in the work folder.
        const std::string suffix = "\\Zarel_bios\\winflash.exe";
        if (launch->application.size() < suffix.size() ||
            launch->application.compare(launch->application.size() - suffix.size(), suffix.size(),
                                        suffix) != 0) {
            std::abort();
        }
    }
    return 0;
}
