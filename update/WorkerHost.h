// What the update worker may do to the dialog that owns it, and nothing more.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

// Wakes the wait for the utility; no job sends it.
constexpr unsigned long kPowerChangeMessage = 0x8000;

class WorkerHost {
public:
    // The running BIOS version, upper-cased; final before the worker starts.
    virtual const std::string& BiosVersion() const = 0;
    // Replaces the status line under the status lock, then asks for a repaint.
    virtual void ShowStatus(const std::string& text) = 0;
    // Has the dialog's own thread arm its exit timer; carried out before the
    // finish message that follows it is handled.
    virtual void ArmExitTimer() = 0;
    // Nothing of this run counts as an update: the end leaves no update
    // folder. Comes before the finish.
    virtual void RecordNothingDone() = 0;
    // Posts the end of the run.
    virtual void PostFinish() = 0;
    // The processes the flash utility runs as, whose windows the user must
    // see; empty once it has ended.
    virtual void ShowUtilityProcesses(const std::vector<unsigned long>& processIds) = 0;
    // The port the wait for the utility reads, to which the dialog posts
    // kPowerChangeMessage when the system tells of a change of the power
    // status; null from the moment the wait reads it no more.
    virtual void WakeOnPowerChange(platform::KernelHandle port) = 0;

protected:
    ~WorkerHost() = default;
};
