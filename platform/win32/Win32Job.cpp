// A job that holds the flash utility and every process it starts, and the
// completion port through which the job reports them.
#include <cstddef>
#include <cstring>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

KernelHandle Win32Platform::CreateJobObject() {
    HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits))) {
        ::CloseHandle(job);
        return nullptr;
    }
    return FromHandle(job);
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

bool Win32Platform::OwnJobAllowsBreakaway() {
    BOOL inJob = FALSE;
    if (!::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob) || !inJob) return false;
    // A null job handle names the job this process runs in.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits), nullptr)) {
        return false;
    }
    return (limits.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) != 0;
}

bool Win32Platform::GetJobProcessIds(KernelHandle job, std::vector<unsigned long>& ids) {
    // Room for far more processes than a flash utility starts; a list that
    // does not fit reports the ones that do.
    constexpr DWORD kRoom = 64;
    constexpr std::size_t kIdsAt = offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList);
    alignas(JOBOBJECT_BASIC_PROCESS_ID_LIST) unsigned char
        buffer[kIdsAt + kRoom * sizeof(ULONG_PTR)] = {};
    JOBOBJECT_BASIC_PROCESS_ID_LIST counts = {};
    counts.NumberOfAssignedProcesses = kRoom;
    std::memcpy(buffer, &counts, kIdsAt);
    if (!::QueryInformationJobObject(ToHandle(job), JobObjectBasicProcessIdList, buffer,
                                     sizeof(buffer), nullptr) &&
        ::GetLastError() != ERROR_MORE_DATA) {
        return false;
    }
    std::memcpy(&counts, buffer, kIdsAt);
    ids.clear();
    for (DWORD i = 0; i < counts.NumberOfProcessIdsInList && i < kRoom; ++i) {
        ULONG_PTR id = 0;
        std::memcpy(&id, buffer + kIdsAt + i * sizeof(ULONG_PTR), sizeof(id));
        ids.push_back(static_cast<unsigned long>(id));
    }
    return true;
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

bool Win32Platform::PostJobMessage(KernelHandle port, unsigned long message) {
    return ::PostQueuedCompletionStatus(ToHandle(port), message, 0, nullptr) != FALSE;
}

}  // namespace platform
