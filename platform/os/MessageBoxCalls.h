// Message boxes.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

class MessageBoxCalls {
public:
    virtual int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                            unsigned type) = 0;

protected:
    ~MessageBoxCalls() = default;
};

}  // namespace platform
