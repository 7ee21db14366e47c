// <windows.h> for the Win32 layer, without the macros that would rename
// members of platform::Platform.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#undef IsDialogMessage
