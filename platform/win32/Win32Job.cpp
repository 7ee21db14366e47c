// A job that holds the flash utility and every process it starts, and the
// completion port through which the job reports them.
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

KernelHandle Win32Platform::CreateJobObject() {
    return FromHandle(::CreateJobObjectA(nullptr, nullptr));
}

KernelHandle Win32Platform::CreateJobCompletionPort(KernelHandle job) {
    HANDLE port = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (!port) return nullptr;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
    association.CompletionKey = ToHandle(job);  // the key names the job
    association.CompletionPort = port;
    if (!::SetInformationJobObject(ToHandle(job), JobObjectAssociateCompletionPortInformation,
                                   &association, sizeof(association))) {
        ::CloseHandle(port);
        return nullptr;
    }
    return FromHandle(port);
}

bool Win32Platform::AssignProcessToJobObject(KernelHandle job, KernelHandle process) {
    return ::AssignProcessToJobObject(ToHandle(job), ToHandle(process)) != FALSE;
}

bool Win32Platform::IsProcessInJob(KernelHandle process, KernelHandle job) {
    BOOL inJob = FALSE;
    return ::IsProcessInJob(ToHandle(process), ToHandle(job), &inJob) && inJob;
}

bool Win32Platform::GetJobActiveProcesses(KernelHandle job, unsigned long& count) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!::QueryInformationJobObject(ToHandle(job), JobObjectBasicAccountingInformation,
                                     &accounting, sizeof(accounting), nullptr)) {
        return false;
    }
    count = accounting.ActiveProcesses;
    return true;
}

bool Win32Platform::GetJobMessage(KernelHandle port, unsigned long milliseconds,
                                  unsigned long& message, unsigned long& processId) {
    DWORD number = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    if (!::GetQueuedCompletionStatus(ToHandle(port), &number, &key, &detail,
                                     static_cast<DWORD>(milliseconds))) {
        return false;
    }
    message = number;
    // The job's messages carry the process id where an overlapped record
    // would be.
    processId = static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(detail));
    return true;
}

}  // namespace platform
