// The program entry: installs the Win32 platform and runs the application.
#include "platform/framework/CWinApp.h"
#include "platform/win32/Win32Platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static platform::Win32Platform os;
    platform::InstallPlatform(&os);
    return framework::RunApplication();
}
