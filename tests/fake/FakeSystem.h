// The double's start-up and COM: a scripted command line, module path,
// instance mutexes, power status and locale.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/Types.h"

namespace fake {

class SystemState {
public:
    // ---- Scripted state -------------------------------------------------
    std::string commandLine = "\"C:\\Update\\BIOSUpdate.exe\"";
    std::optional<std::string> modulePath = std::string("C:\\Update\\BIOSUpdate.exe");
    std::set<std::string> existingMutexes;
    bool mutexFails = false;
    bool powerReadable = true;
    platform::PowerStatus power{1, 80};
    // From each time of the virtual clock on, what the power status reads
    // instead (nullopt: it cannot be read).
    std::map<std::int64_t, std::optional<platform::PowerStatus>> powerFrom;
    unsigned long systemLocale = 1033;
    platform::Hresult securityResult = 0;

    // ---- What happened --------------------------------------------------
    unsigned addedErrorMode = 0;
    int coInitializeCalls = 0;
    int securityCalls = 0;
};

}  // namespace fake
