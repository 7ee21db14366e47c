// The operating-system operations the program uses, one thin virtual per call,
// grouped by subject in platform/os. The Win32 layer (platform/win32)
// implements them for real; the host tests install a double. Arguments and
// results follow the Win32 calls they stand for.
#pragma once

#include "platform/os/ComCalls.h"
#include "platform/os/DrawingCalls.h"
#include "platform/os/FileCalls.h"
#include "platform/os/MessageBoxCalls.h"
#include "platform/os/ProcessCalls.h"
#include "platform/os/RegistryCalls.h"
#include "platform/os/StartupCalls.h"
#include "platform/os/TextCalls.h"
#include "platform/os/WindowCalls.h"
#include "platform/os/WmiCalls.h"

namespace platform {

class Platform : public StartupCalls,
                 public TextCalls,
                 public MessageBoxCalls,
                 public ComCalls,
                 public RegistryCalls,
                 public FileCalls,
                 public ProcessCalls,
                 public WindowCalls,
                 public DrawingCalls,
                 public WmiCalls {
public:
    virtual ~Platform() = default;
};

// The platform the program runs on; installed once at start-up.
Platform& Os();
void InstallPlatform(Platform* platform);

}  // namespace platform
