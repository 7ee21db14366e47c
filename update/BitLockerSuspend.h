// BitLocker suspended on the system drive for the one restart after the
// flash, so that the new firmware's measurements do not lock the disk.
#pragma once

namespace update {

// Each step of the conversation with WMI answers within this, or counts as
// no answer.
constexpr unsigned long kWmiStepLimitMs = 30000;

enum class Suspension {
    NotNeeded,  // no BitLocker, protection off, or nothing told before it was seen on
    Suspended,  // for one restart
    Failed,     // protection on, and not suspended for one restart
};

// Asks WMI on a thread of its own, in the process's multithreaded apartment,
// and waits for each of its steps at most kWmiStepLimitMs.
Suspension SuspendBitLockerForOneRestart();

}  // namespace update
