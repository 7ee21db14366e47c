// How the flash utility is started: which program, with what command line,
// in which folder.
#pragma once

#include <optional>
#include <string>

namespace update {

struct FlashLaunch {
    std::string application;  // always <work folder>\winflash.exe
    std::string commandLine;
    std::string directory;  // the work folder
};

// A path as one command-line argument: in double quotes when it holds a blank.
std::string QuoteIfBlank(const std::string& path);

// The launch for the executable at modulePath, or nullopt when the path has
// no folder. Without blanks the command line reads
// "<folder>\winflash.exe <folder>\K38KRPA24 /NOWMSG".
std::optional<FlashLaunch> BuildFlashLaunch(const std::string& modulePath);

// Whether the launch's program can start in its folder: a current directory
// needs room for a trailing backslash within the 260 bytes of a path, and the
// program's path must fit them too.
bool CanStartIn(const FlashLaunch& launch);

}  // namespace update
