// Process and start-up: the command line, the instance mutex, power,
// locale and Sleep.
#pragma once

#include <optional>
#include <string>

#include "platform/Types.h"

namespace platform {

class StartupCalls {
public:
    virtual std::string GetCommandLineA() = 0;
    // Adds flags to the error mode in force; returns the mode it replaced.
    virtual unsigned AddErrorMode(unsigned flags) = 0;
    // Sets the error mode; returns the one it replaced.
    virtual unsigned SetErrorMode(unsigned mode) = 0;
    // The executable's full path, whole whatever its length; nullopt when
    // the system cannot report it.
    virtual std::optional<std::string> GetModuleFileNameA() = 0;
    virtual void InitCommonControls() = 0;
    // Creates the named mutex without ownership; the handle is kept open
    // until the process ends.
    virtual MutexResult CreateInstanceMutex(const std::string& name) = 0;
    // Gives process a handle of its own to the instance mutex, so that the
    // guard holds for as long as that process runs. False without a mutex.
    virtual bool DuplicateInstanceMutexInto(KernelHandle process) = 0;
    virtual bool GetSystemPowerStatus(PowerStatus& status) = 0;
    virtual unsigned long GetSystemDefaultLCID() = 0;
    virtual void Sleep(unsigned long milliseconds) = 0;
    // Milliseconds since the system started, wrapping around.
    virtual unsigned long GetTickCount() = 0;
    virtual void RestrictDllSearchPath() = 0;

protected:
    ~StartupCalls() = default;
};

}  // namespace platform
