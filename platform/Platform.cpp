#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
Platform* installed = nullptr;
}

Platform& Os() {
    if (!installed) {
        // A programming error: nothing can run without the platform.
        std::fputs("Os() called before a platform was installed\n", stderr);
        std::abort();
    }
    return *installed;
}

void InstallPlatform(Platform* platform) { installed = platform; }

}  // namespace platform
