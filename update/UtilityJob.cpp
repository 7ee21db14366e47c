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

// NTSTATUS codes of severity "error": a process ended by an exception.
bool IsExceptionCode(unsigned long code) { return (code & 0xF0000000) == 0xC0000000; }

bool EndedOnException(KernelHandle process) {
    unsigned long code = 0;
    return Os().GetExitCodeProcess(process, code) && IsExceptionCode(code);
}

// Each process of the job, whether its port or its list tells of it, gets
// the guard too, so that a second start stays refused while any of them
// runs, even after this process has died. An id may have been reused
// already: only a process found in the job is given the guard.
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
// process ends: each one shown, but the started utility's (kept by its own
// handle), is watched through a handle until it has left the list, and shown
// only when that handle is to a process of the job. A watched helper's exit
// code is read when its handle goes.
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
            if (id == m_nStartedId || m_watched.count(id) || Watch(id)) shown.push_back(id);
        }
        if (shown != m_shown) {
            m_shown = shown;
            m_host.ShowUtilityProcesses(shown);
        }
        // Only once the host no longer has them.
        for (auto watched = m_watched.begin(); watched != m_watched.end();) {
            if (std::find(shown.begin(), shown.end(), watched->first) != shown.end()) {
                ++watched;
                continue;
            }
            m_bHelperCrashed = m_bHelperCrashed || EndedOnException(watched->second->Get());
            watched = m_watched.erase(watched);
        }
    }

    // Once every process has ended: whether a watched helper ended on an
    // exception.
    bool HelperCrashed() {
        Show({});
        return m_bHelperCrashed;
    }

private:
    bool Watch(unsigned long id) {
        auto process = std::make_unique<AutoCloseHandle>(Os().OpenProcessToWatch(id));
        if (!process->Get() || !Os().IsProcessInJob(process->Get(), m_hJob)) return false;
        m_watched[id] = std::move(process);
        return true;
    }

    WorkerHost& m_host;
    KernelHandle m_hJob;
    unsigned long m_nStartedId;
    std::vector<unsigned long> m_shown;
    std::map<unsigned long, std::unique_ptr<AutoCloseHandle>> m_watched;
    bool m_bHelperCrashed = false;
};

// Adds SEM_NOGPFAULTERRORBOX to this program's error mode while it lives, so
// that a process created meanwhile inherits it; puts the mode back after.
class NoFaultBoxInherited : platform::NoCopy {
public:
    explicit NoFaultBoxInherited(bool wanted) : m_bWanted(wanted) {
        if (m_bWanted) m_nBefore = Os().AddErrorMode(win::SEM_NOGPFAULTERRORBOX);
    }
    ~NoFaultBoxInherited() {
        if (m_bWanted) Os().SetErrorMode(m_nBefore);
    }

private:
    bool m_bWanted;
    unsigned m_nBefore = 0;
};

// outsideJob: no job of ours would end the utility on a crash, so it is
// created with no error report, whose window would keep its process alive
// until answered.
bool StartSuspended(const FlashLaunch& launch, unsigned long flags, bool outsideJob,
                    ScopedProcess& started) {
    std::string commandLine = launch.commandLine;
    platform::ProcessInfo info;
    NoFaultBoxInherited quiet(outsideJob);
    if (!Os().CreateProcessA(launch.application, commandLine,
                             win::CREATE_NO_WINDOW | win::CREATE_SUSPENDED | flags,
                             launch.directory, info)) {
        return false;
    }
    started.Take(info);
    return true;
}

// A job nested in this program's own is refused on older systems: the
// utility is started again, outside that job where it lets children break
// away, and either way with no error report. The first start never ran.
bool StartInJob(const FlashLaunch& launch, KernelHandle job, ScopedProcess& started, bool& inJob) {
    if (!StartSuspended(launch, 0, !job, started)) return false;
    inJob = job && Os().AssignProcessToJobObject(job, started.process.Get());
    if (inJob || !job) return true;
    Os().TerminateProcess(started.process.Get(), kNeverRan);
    started.Take(platform::ProcessInfo());
    const bool breakaway = Os().OwnJobAllowsBreakaway();
    if (!StartSuspended(launch, breakaway ? win::CREATE_BREAKAWAY_FROM_JOB : 0, true, started)) {
        return false;
    }
    inJob = breakaway && Os().AssignProcessToJobObject(job, started.process.Get());
    return true;
}

// Only a read that says mains power is off holds the start; it is read again
// at least once a second, and at once when the dialog posts a change of the
// power status to port. False when it is still off after kMainsWaitMs.
bool WaitForMains(KernelHandle port, PowerWatch& power) {
    const unsigned long since = Os().GetTickCount();
    while (power.Read()) {
        const unsigned long waited = Os().GetTickCount() - since;
        if (waited >= kMainsWaitMs) return false;
        const unsigned long pause = std::min(kJobPollMs, kMainsWaitMs - waited);
        unsigned long message = 0;
        unsigned long processId = 0;
        if (port) {
            Os().GetJobMessage(port, pause, message, processId);  // no process yet
        } else {
            Os().Sleep(pause);
        }
    }
    power.Withdraw();
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
        if (Os().GetJobProcessIds(job, running)) {
            for (unsigned long id : running) guard.Give(id);
            shown.Show(running);
        }
    }
}

}  // namespace

FlashResult RunUtility(const FlashLaunch& launch, WorkerHost& host, PowerWatch& power,
                       const std::function<bool()>& looksAsBuilt) {
    AutoCloseHandle job(Os().CreateJobObject());
    AutoCloseHandle port(job.Get() ? Os().CreateJobCompletionPort(job.Get()) : nullptr);
    PowerWatch::WakeUp wake(power, port.Get());
    if (!WaitForMains(port.Get(), power)) return FlashResult::NoMains;

    // The start reads a manifest beside the program, the loader its DLLs
    // after the resume: the folder is looked at before each.
    if (!looksAsBuilt()) return FlashResult::Refused;
    ScopedProcess started;
    bool inJob = false;
    if (!StartInJob(launch, job.Get(), started, inJob)) return FlashResult::NotStarted;
    // Should this process die from here on, a second start is still refused
    // until the utility has ended.
    Os().DuplicateInstanceMutexInto(started.process.Get());
    if (!looksAsBuilt()) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return FlashResult::Refused;
    }
    // Last, so that nothing that could still refuse comes after it.
    if (SuspendBitLockerForOneRestart() == Suspension::Failed) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return FlashResult::BitLockerOn;
    }
    if (Os().ResumeThread(started.thread.Get()) == win::RESUME_FAILED) {
        Os().TerminateProcess(started.process.Get(), kNeverRan);
        return FlashResult::NotStarted;
    }
    started.thread.Reset();

    ProcessList shown(host, job.Get(), started.processId);
    if (inJob) {
        WaitForJob(job.Get(), port.Get(), started, shown, power);
    } else {
        WaitForProcess(started, power);
    }
    const bool helperCrashed = shown.HelperCrashed();
    return EndedOnException(started.process.Get()) || helperCrashed ? FlashResult::Crashed
                                                                    : FlashResult::Flashed;
}

}  // namespace update
