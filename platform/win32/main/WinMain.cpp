// The program entry: installs the Win32 platform and runs the application.
#include "platform/framework/CWinApp.h"
#include "platform/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Never destroyed: the worker thread may still be using it while the
    // process exits.
    platform::InstallPlatform(new platform::Win32Platform);
    return framework::RunApplication();
}
