// The dialog's wake-up of the worker when the system tells of a change of
// the power status: the worker alone reads it and changes the status line.
#pragma once

#include <memory>

#include "platform/Platform.h"
#include "platform/Scoped.h"

class CPowerWake : platform::NoCopy {
public:
    CPowerWake() : m_pLock(platform::Os().CreateLock()) {}

    // On the worker's thread: the port its wait reads, or null before the
    // port is closed.
    void Attach(platform::KernelHandle port);
    // On the dialog's thread.
    void Wake();

private:
    std::unique_ptr<platform::Lock> m_pLock;
    platform::KernelHandle m_hPort = nullptr;  // only under m_pLock
};
