// The mains adapter from right before the flash utility's start to its end:
// pulled, the status line tells the user at once what to do; back, it shows
// the status it replaced.
#pragma once

#include <string>
#include <utility>

#include "platform/Types.h"
#include "update/WorkerHost.h"

namespace update {

class PowerWatch {
public:
    // shown: the status the worker shows, which the warning replaces for as
    // long as mains power is off.
    PowerWatch(WorkerHost& host, std::string shown) : m_host(host), m_strShown(std::move(shown)) {}
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    // Only a read that says mains power is off shows the warning, and only
    // one that says it is on shows the replaced status again: a status that
    // cannot be read, or reads as unknown, changes nothing. Returns whether
    // this read said mains power is off.
    bool Read();
    // Shows the replaced status again, if the warning shows.
    void Withdraw();

    // While it lives, the dialog wakes the reader of port (if any) at once
    // when the system tells of a change of the power status.
    class WakeUp {
    public:
        WakeUp(PowerWatch& power, platform::KernelHandle port)
            : m_host(power.m_host), m_bWakes(port != nullptr) {
            if (m_bWakes) m_host.WakeOnPowerChange(port);
        }
        ~WakeUp() {
            if (m_bWakes) m_host.WakeOnPowerChange(nullptr);
        }
        WakeUp(const WakeUp&) = delete;
        WakeUp& operator=(const WakeUp&) = delete;

    private:
        WorkerHost& m_host;
        bool m_bWakes;
    };

private:
    WorkerHost& m_host;
    const std::string m_strShown;
    std::string m_strWarning;
    bool m_bWarning = false;
};

}  // namespace update
