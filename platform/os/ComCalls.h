// COM start-up.
#pragma once

#include "platform/Types.h"

namespace platform {

class ComCalls {
public:
    virtual void CoInitialize() = 0;
    // The process-wide security the program sets at start-up.
    virtual Hresult CoInitializeSecurity() = 0;
    // Enters the calling thread into the process's multithreaded apartment.
    virtual Hresult CoInitializeMultithreaded() = 0;
    virtual void CoUninitialize() = 0;

protected:
    ~ComCalls() = default;
};

}  // namespace platform
