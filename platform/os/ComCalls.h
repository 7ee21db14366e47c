// COM start-up.
#pragma once

#include "platform/Types.h"

namespace platform {

class ComCalls {
public:
    virtual void CoInitialize() = 0;
    // The process-wide security the program sets at start-up.
    virtual Hresult CoInitializeSecurity() = 0;

protected:
    ~ComCalls() = default;
};

}  // namespace platform
