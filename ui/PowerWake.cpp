#include "ui/PowerWake.h"

#include "update/WorkerHost.h"

void CPowerWake::Attach(platform::KernelHandle port) {
    platform::ScopedLock hold(*m_pLock);
    m_hPort = port;
}

// Under the lock, so that the worker cannot close the port meanwhile.
void CPowerWake::Wake() {
    platform::ScopedLock hold(*m_pLock);
    if (m_hPort) platform::Os().PostJobMessage(m_hPort, kPowerChangeMessage);
}
