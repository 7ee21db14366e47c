// The helper's commands, each acting on a window found by its exact title.
#pragma once

#include <string>
#include <vector>

namespace uidriver {

// Exit codes of the helper.
enum ExitCode {
    kOk = 0,
    kNotFound = 1,  // no such window (within the wait), or it did not go
    kUsage = 2,     // bad arguments
    kFailed = 3,    // the window did not answer or lacked what was asked for
};

struct Options {
    unsigned long waitMs = 0;
    std::wstring className;
    bool useInput = false;  // key presses through SendInput instead of posted messages
    // After send, post, show or move: wait up to this long until the window
    // covers the screen again, topmost, and print how long that took.
    unsigned long backWaitMs = 0;
};

// args: the command and its arguments (UTF-16). Output goes to standard
// output as UTF-8.
int RunCommand(const Options& options, const std::vector<std::wstring>& args);

}  // namespace uidriver
