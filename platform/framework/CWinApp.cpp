#include "platform/framework/CWinApp.h"

#include "platform/Platform.h"
#include "platform/Win32Constants.h"

namespace {
CWinApp* theApplication = nullptr;

// SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX
constexpr unsigned kQuietErrorMode = 0x8001;
}  // namespace

CWinApp::CWinApp() { theApplication = this; }

CWinApp::~CWinApp() {
    if (theApplication == this) theApplication = nullptr;
}

CWinApp* CWinApp::Current() { return theApplication; }

bool CWinApp::InitInstance() { return true; }

int CWinApp::DoMessageBox(const std::string& text, unsigned type) {
    constexpr unsigned kIconMask = 0xF0;
    if ((type & kIconMask) == 0) type |= win::MB_ICONEXCLAMATION;
    return platform::Os().MessageBoxA(nullptr, text, m_strAppName, type);
}

void CWinApp::SetRegistryKey(const char* companyName) { m_strRegistryKey = companyName; }

namespace framework {

std::string CutCommandLine(const std::string& commandLine) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t i = 0;
    bool inQuotes = false;
    for (; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && isBlank(c))
            break;
    }
    while (i < commandLine.size() && isBlank(commandLine[i])) ++i;
    return commandLine.substr(i);
}

std::string AppNameFromPath(const std::string& modulePath) {
    std::size_t slash = modulePath.find_last_of("\\/");
    std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

int RunApplication() {
    platform::Platform& os = platform::Os();
    // DLLs come from the system folder only, never from beside the program.
    os.RestrictDllSearchPath();
    CWinApp* app = CWinApp::Current();
    std::string arguments = CutCommandLine(os.GetCommandLineA());
    os.AddErrorMode(kQuietErrorMode);
    if (!app) return 0;
    app->m_strCmdLine = arguments;
    app->m_strAppName = AppNameFromPath(os.GetModuleFileNameA().value_or(std::string()));
    app->InitInstance();
    app->m_pMainWnd = nullptr;
    return 0;
}

}  // namespace framework
