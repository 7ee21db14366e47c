// The settings of winflash.exe, read from winflash.ini beside it.
#pragma once

#include <string>

namespace winflash {

struct Settings {
    unsigned long milliseconds = 10000;  // seconds=, how long to run
    unsigned long exitCode = 0;          // exit_code=, the process exit code
    bool crash = false;                  // crash=1, end with an access violation
    bool handoff = false;                // handoff=1, a copy does the run
    bool prompt = false;                 // prompt=1, a message box partway through
};

// Reads "key=value" lines; blank lines, comments (# or ;), [sections] and
// unknown keys are skipped, and a missing key keeps its default.
Settings ParseSettings(const std::string& text);

}  // namespace winflash
