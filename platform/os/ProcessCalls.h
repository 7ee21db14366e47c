// Processes, the jobs that hold them, and threads.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

// A lock between threads (a critical section on Win32).
class Lock {
public:
    virtual ~Lock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

using ThreadEntry = void (*)(void* argument);

class ProcessCalls {
public:
    // Starts application with a writable command line, no inherited handles,
    // the caller's environment and a start-up record zeroed but for its size.
    virtual bool CreateProcessA(const std::string& application, std::string& commandLine,
                                unsigned long flags, const std::string& directory,
                                ProcessInfo& info) = 0;
    virtual unsigned long WaitForSingleObject(KernelHandle handle, unsigned long milliseconds) = 0;
    virtual void CloseHandle(KernelHandle handle) = 0;
    // The thread's previous suspend count; RESUME_FAILED when it failed.
    virtual unsigned long ResumeThread(KernelHandle thread) = 0;
    virtual bool TerminateProcess(KernelHandle process, unsigned exitCode) = 0;
    // A handle to the process with that id, with the rights to test its job
    // and to give it a handle; null when there is none.
    virtual KernelHandle OpenProcess(unsigned long processId) = 0;
    // A handle that keeps the process, and so its id and exit code, from
    // going, with the rights to test its job and read its exit code and no
    // more; null when there is none.
    virtual KernelHandle OpenProcessToWatch(unsigned long processId) = 0;
    // The process's exit code, STILL_ACTIVE while it runs; false when unknown.
    virtual bool GetExitCodeProcess(KernelHandle process, unsigned long& code) = 0;
    // A job that ends a process of it on an unhandled exception, so that no
    // error report waits for an answer, and that has no other limit: it never
    // ends or kills what it holds otherwise. Null when the system cannot make
    // one or cannot set that limit.
    virtual KernelHandle CreateJobObject() = 0;
    // A new completion port that reports the job's processes; null when the
    // port cannot be made or tied to the job.
    virtual KernelHandle CreateJobCompletionPort(KernelHandle job) = 0;
    virtual bool AssignProcessToJobObject(KernelHandle job, KernelHandle process) = 0;
    virtual bool IsProcessInJob(KernelHandle process, KernelHandle job) = 0;
    // Whether this process runs inside a job that lets its children break
    // away from it.
    virtual bool OwnJobAllowsBreakaway() = 0;
    // The ids of the job's processes that have not ended; false when unknown.
    virtual bool GetJobProcessIds(KernelHandle job, std::vector<unsigned long>& ids) = 0;
    // The job's count of processes that have not ended; false when unknown.
    virtual bool GetJobActiveProcesses(KernelHandle job, unsigned long& count) = 0;
    // The port's next message (JOB_OBJECT_MSG_*) and the process id it names;
    // false when none came within milliseconds.
    virtual bool GetJobMessage(KernelHandle port, unsigned long milliseconds,
                               unsigned long& message, unsigned long& processId) = 0;
    // Queues message on the port as a job's message naming no process.
    virtual bool PostJobMessage(KernelHandle port, unsigned long message) = 0;
    // Runs entry(argument) on a new thread whose handle the caller never sees.
    virtual bool StartThread(ThreadEntry entry, void* argument) = 0;
    virtual std::unique_ptr<Lock> CreateLock() = 0;

protected:
    ~ProcessCalls() = default;
};

}  // namespace platform
