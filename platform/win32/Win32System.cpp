// Process start-up, power, locale and COM set-up.
#include <objbase.h>
// objbase.h first: commctrl.h needs its declarations.

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

// Longest module path the system can report, in bytes of the ANSI code page.
constexpr size_t kLongestModulePath = 2 * 32768;

}  // namespace

std::string Win32Platform::GetCommandLineA() {
    const char* commandLine = ::GetCommandLineA();
    return commandLine ? commandLine : "";
}

// GetErrorMode came with Vista: the mode in force is read by setting one.
unsigned Win32Platform::AddErrorMode(unsigned flags) {
    const UINT inForce = ::SetErrorMode(flags);
    ::SetErrorMode(inForce | flags);
    return inForce;
}

unsigned Win32Platform::SetErrorMode(unsigned mode) { return ::SetErrorMode(mode); }

std::optional<std::string> Win32Platform::GetModuleFileNameA() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        DWORD length = ::GetModuleFileNameA(nullptr, &path[0], size);
        if (length == 0) return std::nullopt;
        // A path cut to the buffer fills it completely.
        if (length < size) {
            path.resize(length);
            return path;
        }
        if (path.size() >= kLongestModulePath) return std::nullopt;
        path.assign(path.size() * 2, '\0');
    }
}

HMODULE LoadSystemLibrary(const char* name) {
    char folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder, length) + "\\" + name;
    return ::LoadLibraryA(path.c_str());
}

// Loaded at run time rather than imported: an import is resolved before the
// program can restrict where DLLs come from.
void Win32Platform::InitCommonControls() {
    using Function = void(WINAPI*)();
    auto init = GetFunction<Function>(LoadSystemLibrary("comctl32.dll"), "InitCommonControls");
    if (init) init();
}

MutexResult Win32Platform::CreateInstanceMutex(const std::string& name) {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    DWORD error = ::GetLastError();
    if (mutex && !m_hInstanceMutex) m_hInstanceMutex = mutex;
    if (error == ERROR_ALREADY_EXISTS) return MutexResult::AlreadyExists;
    return mutex ? MutexResult::Created : MutexResult::Failed;
}

// The copy lives in the other process's handle table and goes with it.
bool Win32Platform::DuplicateInstanceMutexInto(KernelHandle process) {
    if (!m_hInstanceMutex) return false;
    HANDLE copy = nullptr;
    return ::DuplicateHandle(::GetCurrentProcess(), m_hInstanceMutex, ToHandle(process), &copy, 0,
                             FALSE, DUPLICATE_SAME_ACCESS) != FALSE;
}

bool Win32Platform::GetSystemPowerStatus(PowerStatus& status) {
    SYSTEM_POWER_STATUS system = {};
    if (!::GetSystemPowerStatus(&system)) return false;
    status.acLineStatus = system.ACLineStatus;
    status.batteryLifePercent = system.BatteryLifePercent;
    return true;
}

unsigned long Win32Platform::GetSystemDefaultLCID() { return ::GetSystemDefaultLCID(); }

void Win32Platform::Sleep(unsigned long milliseconds) { ::Sleep(milliseconds); }

unsigned long Win32Platform::GetTickCount() { return ::GetTickCount(); }

void Win32Platform::RestrictDllSearchPath() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    auto setDefaultDllDirectories = GetSystemFunction<SetDefaultDllDirectoriesFunction>(
        "kernel32.dll", "SetDefaultDllDirectories");
    if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void Win32Platform::CoInitialize() { ::CoInitialize(nullptr); }

Hresult Win32Platform::CoInitializeSecurity() {
    return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_SECURE_REFS, nullptr);
}

Hresult Win32Platform::CoInitializeMultithreaded() {
    return ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

void Win32Platform::CoUninitialize() { ::CoUninitialize(); }

}  // namespace platform
