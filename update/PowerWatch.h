// The mains adapter while the flash utility runs: pulled, the status line
// tells the user at once what to do; back, it shows the status it replaced.
#pragma once

#include <string>

#include "platform/Types.h"
#include "update/WorkerHost.h"

namespace update {

class PowerWatch {
public:
    // shown: the worker's own status text, which the warning replaces for as
    // long as mains power is off.
    PowerWatch(WorkerHost& host, const std::string& shown) : m_host(host), m_shown(shown) {}
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    // Only a read that says mains power is off shows the warning, and only
    // one that says it is on shows the replaced status again: a status that
    // cannot be read, or reads as unknown, changes nothing.
    void Read();

    // While it lives, the dialog wakes the reader of port at once when the
    // system tells of a change of the power status.
    class WakeUp {
    public:
        WakeUp(PowerWatch& power, platform::KernelHandle port) : m_host(power.m_host) {
            m_host.WakeOnPowerChange(port);
        }
        ~WakeUp() { m_host.WakeOnPowerChange(nullptr); }
        WakeUp(const WakeUp&) = delete;
        WakeUp& operator=(const WakeUp&) = delete;

    private:
        WorkerHost& m_host;
    };

private:
    WorkerHost& m_host;
    const std::string& m_shown;
    std::string m_strWarning;
    bool m_bWarning = false;
};

}  // namespace update
