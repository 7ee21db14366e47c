// Where the flash utility and the image wait: "Zarel_bios" beside the executable.
#pragma once

#include <optional>
#include <string>

namespace app {

// A path fits the system's classic 260-byte buffers (MAX_PATH with its NUL).
constexpr std::size_t kMaxPath = 260;

// The executable's directory (cut at the last backslash) plus "\Zarel_bios";
// nullopt when the path holds no backslash.
std::optional<std::string> WorkFolderOf(const std::string& modulePath);

// The work folder of the running executable within kMaxPath, or nullopt when
// the executable's path cannot be read or the folder would not fit.
std::optional<std::string> CurrentWorkFolder();

}  // namespace app

// Removes the work folder if it is empty; anything in it stays untouched.
void RemoveWorkFolder();
