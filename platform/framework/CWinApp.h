// The application object: start-up, InitInstance, the framework message box.
#pragma once

#include <string>

class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns false to end the process without a message loop of its own.
    virtual bool InitInstance();

    // The framework's message box: no owner, caption the application name,
    // MB_ICONEXCLAMATION added when the type names no icon.
    int DoMessageBox(const std::string& text, unsigned type);
    void SetRegistryKey(const char* companyName);
    void EnableContainer() {}  // no ActiveX hosting to switch on

    // The one application object, or null before it is constructed.
    static CWinApp* Current();

    std::string m_strAppName;      // the executable's name without its extension
    std::string m_strCmdLine;      // the arguments, cut from the program name
    std::string m_strRegistryKey;  // where per-user settings would live; never written
    CDialog* m_pMainWnd = nullptr;
};

namespace framework {

// The command line without the program's name and the blanks that follow it.
std::string CutCommandLine(const std::string& commandLine);
// "C:\Dir\BIOSUpdate.exe" -> "BIOSUpdate".
std::string AppNameFromPath(const std::string& modulePath);
// What the program entry runs: prepares the application object, calls its
// InitInstance and returns the process exit code (always 0).
int RunApplication();

}  // namespace framework
