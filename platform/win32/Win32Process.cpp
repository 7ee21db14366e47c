// Child processes, waits, threads and locks.
#include <memory>
#include <vector>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

// The start-up record's size field is each build's own sizeof.
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104),
              "the start-up record is 68 bytes on 32-bit, 104 on 64-bit Windows");

struct ThreadStart {
    ThreadEntry entry;
    void* argument;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    start->entry(start->argument);
    return 0;
}

class CriticalSectionLock final : public Lock {
public:
    CriticalSectionLock() { ::InitializeCriticalSection(&m_section); }
    ~CriticalSectionLock() override { ::DeleteCriticalSection(&m_section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
    void Enter() override { ::EnterCriticalSection(&m_section); }
    void Leave() override { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

}  // namespace

bool Win32Platform::CreateProcessA(const std::string& application, std::string& commandLine,
                                   unsigned long flags, const std::string& directory,
                                   ProcessInfo& info) {
    // A current directory has room for a trailing backslash within MAX_PATH;
    // the system refuses longer ones (and Wine corrupts its heap on them).
    if (directory.size() > MAX_PATH - 2) {
        info = ProcessInfo();
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    BOOL started = ::CreateProcessA(
        application.empty() ? nullptr : application.c_str(), writable.data(), nullptr, nullptr,
        FALSE, flags, nullptr, directory.empty() ? nullptr : directory.c_str(), &startup, &process);
    commandLine = writable.data();
    if (!started) {
        info = ProcessInfo();
        return false;
    }
    info.process = FromHandle(process.hProcess);
    info.thread = FromHandle(process.hThread);
    info.processId = process.dwProcessId;
    return true;
}

unsigned long Win32Platform::ResumeThread(KernelHandle thread) {
    return ::ResumeThread(ToHandle(thread));
}

bool Win32Platform::TerminateProcess(KernelHandle process, unsigned exitCode) {
    return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
}

KernelHandle Win32Platform::OpenProcess(unsigned long processId) {
    return FromHandle(::OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION, FALSE,
                                    static_cast<DWORD>(processId)));
}

// Windows XP has no limited query right.
KernelHandle Win32Platform::OpenProcessToWatch(unsigned long processId) {
    return FromHandle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                    static_cast<DWORD>(processId)));
}

bool Win32Platform::GetExitCodeProcess(KernelHandle process, unsigned long& code) {
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(ToHandle(process), &exitCode)) return false;
    code = exitCode;
    return true;
}

unsigned long Win32Platform::WaitForSingleObject(KernelHandle handle, unsigned long milliseconds) {
    return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

void Win32Platform::CloseHandle(KernelHandle handle) { ::CloseHandle(ToHandle(handle)); }

bool Win32Platform::StartThread(ThreadEntry entry, void* argument) {
    // The new thread owns the record once it runs.
    ThreadStart* start = new ThreadStart{entry, argument};
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadMain, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

std::unique_ptr<Lock> Win32Platform::CreateLock() {
    return std::make_unique<CriticalSectionLock>();
}

}  // namespace platform
