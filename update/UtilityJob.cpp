#include "update/UtilityJob.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"
#include "update/BitLockerSuspend.h"

using platform::AutoCloseHandle;
using platform::KernelHandle;
using platform::Os;
using platform::ScopedProcess;

namespace update {

namespace {

// The exit code of a utility ended before it ran.
constexpr unsigned kNeverRan = 1;

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

// Tells the host of the utility's processes whenever they change. An id the
// job reports may have been reused already, and may be reused once its
// process ends: each one shown, but the started utility's (held by its own
// handle), is held by a handle until it has left the list, and shown only
// when that handle is to a process of the job.
class ProcessList : platform::NoCopy {
public:
    ProcessList(WorkerHost& host, KernelHandle job, unsigned long startedId)
        : m_host(host), m_hJob(job), m_nStartedId(startedId) {
        Show({startedId});
    }
    ~ProcessList() { Show({}); }

    void Show(const std::vector<unsigned long>& ids) {
        std::vector<unsigned long> shown;
        for (unsigned long id : ids) {
            if (id == m_nStartedId || m_held.count(id) || Hold(id)) shown.push_back(id);
        }
        if (shown != m_shown) {
            m_shown = shown;
            m_host.ShowUtilityProcesses(shown);
        }
        // Only once the host no longer has them.
        for (auto held = m_held.begin(); held != m_held.end();) {
            const bool listed = std::find(shown.begin(), shown.end(), held->first) != shown.end();
            held = listed ? std::next(held) : m_held.erase(held);
        }
    }

private:
    bool Hold(unsigned long id) {
        auto process = std::make_unique<AutoCloseHandle>(Os().OpenProcessToHold(id));
        if (!process->Get() || !Os().IsProcessInJob(process->Get(), m_hJob)) return false;
        m_held[id] = std::move(process);
        return true;
    }

    WorkerHost& m_host;
    KernelHandle m_hJob;
    unsigned long m_nStartedId;
    std::vector<unsigned long> m_shown;
    std::map<unsigned long, std::unique_ptr<AutoCloseHandle>> m_held;
};

bool StartSuspended(const FlashLaunch& launch, unsigned long flags, ScopedProcess& started) {
    std::string commandLine = launch.commandLine;
    platform::ProcessInfo info;
    if (!Os().CreateProcessA(launch.application, commandLine,
                             win::CREATE_NO_WINDOW | win::CREATE_SUSPENDED | flags,
                             launch.directory, info)) {
        return false;
    }
    started.Take(info);
    return true;
}

// A job nested in this program's own is refused on older systems; where
// that job lets children break away, the utility is started again outside it.
// The first start never ran.
bool StartInJob(const FlashLaunch& launch, KernelHandle job, ScopedProcess& started, bool& held) {
    if (!StartSuspended(launch, 0, started)) return false;
    held = job && Os().AssignProcessToJobObject(job, started.process.Get());
    if (held || !job || !Os().OwnJobAllowsBreakaway()) return true;
    Os().TerminateProcess(started.process.Get(), kNeverRan);
    started.Take(platform::ProcessInfo());
    if (!StartSuspended(launch, win::CREATE_BREAKAWAY_FROM_JOB, started)) return false;
    held = Os().AssignProcessToJobObject(job, started.process.Get());
    return true;
}

// Until the process has ended, or the wait fails.
void WaitForProcess(const ScopedProcess& started, PowerWatch& power) {
    do {
        power.Read();
    } while (Os().WaitForSingleObject(started.process.Get(), kJobPollMs) == win::WAIT_TIMEOUT);
}

// The port's messages may be lost: the job's own count decides the end.
void WaitForJob(KernelHandle job, KernelHandle port, const ScopedProcess& started,
                ProcessList& shown, PowerWatch& power) {
    JobGuard guard(job, started.processId);
    PowerWatch::WakeUp wake(power, port);
    std::vector<unsigned long> running;
    for (;;) {
        power.Read();
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
            WaitForProcess(started, power);
            return;
        }
        if (active == 0) return;
        if (Os().GetJobProcessIds(job, running)) shown.Show(running);
    }
}

}  // namespace

UtilityRun RunUtility(const FlashLaunch& launch, WorkerHost& host, PowerWatch& power,
                      const std::function<bool()>& looksAsBuilt) {
    AutoCloseHandle job(Os().CreateJobObject());
    AutoCloseHandle port(job.Get() ? Os().CreateJobCompletionPort(job.Get()) : nullptr);
    // The start reads a manifest beside the program, the loader its DLLs
    // after the resume: the folder is looked at before each.
    if (!looksAsBuilt()) return UtilityRun::Refused;
    ScopedProcess started;
    bool held = false;
    if (!StartInJob(launch, job.Get(), started, held)) return UtilityRun::NotStarted;
    // Should this process die from here on, a second start is still refused
    // until the utility has ended.
    Os().DuplicateInstanceMutexInto(started.process.Get());
    if (!looksAsBuilt()) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return UtilityRun::Refused;
    }
    // Last, so that nothing that could still refuse comes after it.
    if (SuspendBitLockerForOneRestart() == Suspension::Failed) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return UtilityRun::BitLockerOn;
    }
    if (Os().ResumeThread(started.thread.Get()) == win::RESUME_FAILED) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return UtilityRun::NotStarted;
    }
    started.thread.Reset();
    ProcessList shown(host, job.Get(), started.processId);
    if (held) {
        WaitForJob(job.Get(), port.Get(), started, shown, power);
    } else {
        WaitForProcess(started, power);
    }
    return UtilityRun::Ran;
}

}  // namespace update
