// The double's WMI: the instances of Win32_BIOS, a scripted failure, and
// the COM objects and strings the program holds.
#pragma once

#include <cstddef>
#include <set>
#include <vector>

#include "platform/os/WmiCalls.h"

namespace fake {

// Where a WMI query can be made to fail.
enum class WmiFailure {
    None,
    Locator,
    Connect,
    Enumeration,
    FetchTimeout,
    NoObjects,
    PropertyRead,
    Allocation,
};

class WmiState {
public:
    WmiState();
    WmiState(const WmiState&) = delete;
    WmiState& operator=(const WmiState&) = delete;
    ~WmiState();

    // The instances of Win32_BIOS and the value each reports.
    std::vector<platform::Variant> biosInstances;
    WmiFailure wmiFailure = WmiFailure::None;
    // BitLocker's namespace, with volumes D: and C:, when set; what each
    // GetProtectionStatus answers in turn (none left: the call fails).
    bool bitLocker = false;
    std::vector<std::int32_t> protectionStatuses;
    bool disableCountTaken = true;  // DisableKeyProtectors' signature has it
    std::int32_t disableReturnValue = 0;

    int LiveComObjects() const { return static_cast<int>(comObjects_.size()); }
    int LiveBstrs() const { return static_cast<int>(bstrs_.size()); }

protected:
    struct ComNode;

    ComNode* NewCom(int kind, std::size_t instance);

    std::set<ComNode*> comObjects_;
    std::set<platform::Bstr> bstrs_;
};

}  // namespace fake
