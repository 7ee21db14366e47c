// winflash.exe: stands in for the flash utility in tests and demonstrations
// and touches no firmware. Each run appends to winflash.log beside the
// executable its command line, working directory, settings and times (local
// time, and the performance counter in milliseconds as monotonic_ms=), then
// does what winflash.ini beside it asks:
//   seconds=10     run this long (decimals allowed; default 10)
//   exit_code=0    end with this exit code (decimal or 0x hex; default 0)
//   crash=1        end with an access violation instead
//   handoff=1      start a copy of itself that does the run, and end at once
//                  (as some vendors' utilities do); both runs are logged,
//                  the first with handoff= and the copy's process id
//   prompt=1       show a message box (caption "winflash") 1.5 s into the run,
//                  or halfway through a shorter one, and log when it is shown
//                  and answered; the time it is up does not count
#include <windows.h>

#include <cstdio>
#include <string>

#include "Settings.h"

namespace {

std::string ModuleDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return ".";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.assign(path.size() * 2, '\0');
    }
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string CurrentDirectory() {
    DWORD size = ::GetCurrentDirectoryA(0, nullptr);
    if (size == 0) return std::string();
    std::string directory(size, '\0');
    DWORD length = ::GetCurrentDirectoryA(size, &directory[0]);
    directory.resize(length < size ? length : 0);
    return directory;
}

std::string Timestamp() {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char text[32] = {};
    std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

// The performance counter in milliseconds: a monotonic clock, unlike the
// local time, which may step.
std::string MonotonicMs() {
    LARGE_INTEGER counter = {};
    LARGE_INTEGER frequency = {};
    if (!::QueryPerformanceCounter(&counter) || !::QueryPerformanceFrequency(&frequency) ||
        frequency.QuadPart <= 0) {
        return "0";
    }
    const long long whole = counter.QuadPart / frequency.QuadPart;
    const long long rest = counter.QuadPart % frequency.QuadPart;
    return std::to_string(whole * 1000 + rest * 1000 / frequency.QuadPart);
}

// When something happens, for the log: "2024-05-01T10:00:00.000 monotonic_ms=N".
std::string Moment() { return Timestamp() + " monotonic_ms=" + MonotonicMs(); }

std::string ReadTextFile(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    ::CloseHandle(file);
    return text;
}

// Appends in one write, so that runs sharing the log do not cut each
// other's lines.
void AppendToLog(const std::string& path, const std::string& lines) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    ::CloseHandle(file);
}

// Ends the process with the exception's code as its exit code, without a
// crash dialog or a debugger.
LONG WINAPI EndOnException(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

void Crash() {
    ::SetUnhandledExceptionFilter(EndOnException);
    static int* volatile target = nullptr;  // volatile: the write stays
    *target = 1;
}

// Set in the copy's environment, so that the copy does the run itself.
const char kHelperVariable[] = "WINFLASH_HELPER";

bool IsHelper() { return ::GetEnvironmentVariableA(kHelperVariable, nullptr, 0) != 0; }

// The copy: same program, command line and folder; no window, no handles.
DWORD StartHelper() {
    ::SetEnvironmentVariableA(kHelperVariable, "1");
    char path[MAX_PATH] = {};
    if (!::GetModuleFileNameA(nullptr, path, MAX_PATH)) return 0;
    std::string commandLine = ::GetCommandLineA();
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process)) {
        return 0;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return process.dwProcessId;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string directory = ModuleDirectory();
    const std::string log = directory + "\\winflash.log";
    const winflash::Settings settings =
        winflash::ParseSettings(ReadTextFile(directory + "\\winflash.ini"));
    const std::string pid = std::to_string(::GetCurrentProcessId());

    AppendToLog(log, "start=" + Moment() + "\r\n" + "pid=" + pid + "\r\n" + "command_line=" +
                         ::GetCommandLineA() + "\r\n" + "working_directory=" + CurrentDirectory() +
                         "\r\n" + "settings=milliseconds=" + std::to_string(settings.milliseconds) +
                         " exit_code=" + std::to_string(settings.exitCode) + " crash=" +
                         (settings.crash ? "1" : "0") + " prompt=" + (settings.prompt ? "1" : "0") +
                         " handoff=" + (settings.handoff ? (IsHelper() ? "helper" : "1") : "0") +
                         "\r\n");
    if (settings.handoff && !IsHelper()) {
        const DWORD helper = StartHelper();
        AppendToLog(log, "handoff=" + Moment() + " pid=" + pid +
                             " helper_pid=" + std::to_string(helper) + "\r\n" + "end=" + Moment() +
                             " pid=" + pid + " exit_code=0\r\n");
        return helper ? 0 : 1;
    }
    if (settings.prompt) {
        const DWORD before = settings.milliseconds < 3000 ? settings.milliseconds / 2 : 1500;
        ::Sleep(before);
        AppendToLog(log, "prompt_shown=" + Moment() + " pid=" + pid + "\r\n");
        ::MessageBoxA(nullptr, "The flash utility asks: press OK to go on.", "winflash", MB_OK);
        AppendToLog(log, "prompt_answered=" + Moment() + " pid=" + pid + "\r\n");
        ::Sleep(settings.milliseconds - before);
    } else {
        ::Sleep(settings.milliseconds);
    }
    if (settings.crash) {
        AppendToLog(log, "crash=" + Moment() + " pid=" + pid + "\r\n");
        Crash();
    }
    AppendToLog(log, "end=" + Moment() + " pid=" + pid +
                         " exit_code=" + std::to_string(settings.exitCode) + "\r\n");
    return static_cast<int>(settings.exitCode);
}
