#include "update/UtilityJob.h"

#include <set>

#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"

using platform::AutoCloseHandle;
using platform::KernelHandle;
using platform::Os;

namespace update {

namespace {

// Each process the job reports gets the guard too, so that a second start
// stays refused while any of them runs, even after this process has died. A
// reported id may have been reused already: only a process found in the job
// is given the guard.
class JobGuard {
public:
    JobGuard(KernelHandle job, unsigned long utilityId) : m_hJob(job) {
        m_guarded.insert(utilityId);
    }
    void Give(unsigned long processId) {
        if (!m_guarded.insert(processId).second) return;
        AutoCloseHandle process(Os().OpenProcess(processId));
        if (process.Get() && Os().IsProcessInJob(process.Get(), m_hJob)) {
            Os().DuplicateInstanceMutexInto(process.Get());
        }
    }

private:
    KernelHandle m_hJob;
    std::set<unsigned long> m_guarded;
};

// The port's messages may be lost: the job's own count decides the end.
void WaitForJob(KernelHandle job, KernelHandle port, const platform::ProcessInfo& started) {
    JobGuard guard(job, started.processId);
    for (;;) {
        unsigned long message = 0;
        unsigned long processId = 0;
        if (!port) {
            Os().Sleep(kJobPollMs);
        } else if (Os().GetJobMessage(port, kJobPollMs, message, processId)) {
            if (message == win::JOB_OBJECT_MSG_NEW_PROCESS) guard.Give(processId);
            if (message == win::JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) return;
        }
        unsigned long active = 0;
        if (!Os().GetJobActiveProcesses(job, active)) {
            Os().WaitForSingleObject(started.process, win::INFINITE);
            return;
        }
        if (active == 0) return;
    }
}

}  // namespace

void ResumeAndWait(const platform::ProcessInfo& started) {
    AutoCloseHandle process(started.process);
    AutoCloseHandle thread(started.thread);
    AutoCloseHandle job(Os().CreateJobObject());
    AutoCloseHandle port(job.Get() ? Os().CreateJobCompletionPort(job.Get()) : nullptr);
    const bool held = job.Get() && Os().AssignProcessToJobObject(job.Get(), process.Get());
    // Should this process die from here on, a second start is still refused
    // until the utility has ended.
    Os().DuplicateInstanceMutexInto(process.Get());
    Os().ResumeThread(thread.Get());
    thread.Reset();
    if (held) {
        WaitForJob(job.Get(), port.Get(), started);
    } else {
        Os().WaitForSingleObject(process.Get(), win::INFINITE);
    }
}

}  // namespace update
