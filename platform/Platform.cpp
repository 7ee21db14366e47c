#include "platform/Platform.h"

namespace platform {

namespace {
Platform* installed = nullptr;
}

Platform& Os() { return *installed; }

void InstallPlatform(Platform* platform) { installed = platform; }

}  // namespace platform
