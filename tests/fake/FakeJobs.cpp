// The double's processes and jobs: a started process ends processRunUs
// after it runs, and hands off to a helper when helperRunUs is set; a job's
// port reports its processes on the virtual clock.
#include <algorithm>

#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"

namespace fake {

unsigned long ProcessState::StartProcess(platform::KernelHandle job, bool helper) {
    const unsigned long id = nextProcessId_++;
    processes_[id] = Process{INT64_MAX, job, helper};
    return id;
}

// The started process runs, and so does its helper, in its job.
void FakePlatform::RunProcess(unsigned long processId) {
    Process& process = processes_[processId];
    process.endUs = nowUs_ + processRunUs;
    process.exitCode = processExitCode;
    std::int64_t lastEnd = process.endUs;
    Report(process.job, process.endUs, win::JOB_OBJECT_MSG_EXIT_PROCESS, processId);
    if (helperRunUs > 0) {
        const unsigned long helper = StartProcess(process.job, true);
        processes_[helper].endUs = nowUs_ + helperRunUs;
        processes_[helper].exitCode = helperExitCode;
        lastEnd = std::max(lastEnd, processes_[helper].endUs);
        Report(process.job, nowUs_, win::JOB_OBJECT_MSG_NEW_PROCESS, helper);
        Report(process.job, processes_[helper].endUs, win::JOB_OBJECT_MSG_EXIT_PROCESS, helper);
    }
    Report(process.job, lastEnd, win::JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO, 0);
}

void ProcessState::Report(platform::KernelHandle job, std::int64_t timeUs, unsigned long message,
                          unsigned long processId) {
    auto port = ports_.find(job);
    if (!job || port == ports_.end() || jobMessagesLost) return;
    std::vector<JobMessage>& queue = portMessages_[port->second];
    queue.push_back(JobMessage{timeUs, message, processId});
    std::stable_sort(queue.begin(), queue.end(),
                     [](const JobMessage& a, const JobMessage& b) { return a.timeUs < b.timeUs; });
}

unsigned long FakePlatform::ResumeThread(platform::KernelHandle thread) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("ResumeThread");
    ++resumes;
    if (resumeFails) return win::RESUME_FAILED;
    auto id = processHandles_.find(thread);
    if (id == processHandles_.end() || processes_[id->second].endUs != INT64_MAX) return 0;
    RunProcess(id->second);
    return 1;
}

bool FakePlatform::TerminateProcess(platform::KernelHandle process, unsigned exitCode) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("TerminateProcess " + std::to_string(exitCode));
    auto id = processHandles_.find(process);
    if (id == processHandles_.end()) return false;
    processes_[id->second].endUs = nowUs_;
    processes_[id->second].exitCode = exitCode;
    terminated.push_back(id->second);
    return true;
}

platform::KernelHandle FakePlatform::OpenProcess(unsigned long processId) {
    return OpenRunningProcess("OpenProcess", "process", processId);
}

platform::KernelHandle FakePlatform::OpenProcessToWatch(unsigned long processId) {
    return OpenRunningProcess("OpenProcessToWatch", "watched process", processId);
}

bool FakePlatform::GetExitCodeProcess(platform::KernelHandle process, unsigned long& code) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto id = processHandles_.find(process);
    if (id == processHandles_.end()) return false;
    const Process& found = processes_[id->second];
    code = found.endUs > nowUs_ ? win::STILL_ACTIVE : found.exitCode;
    return true;
}

// A handle to a process that has not ended yet, recorded as call.
platform::KernelHandle FakePlatform::OpenRunningProcess(const std::string& call,
                                                        const std::string& kind,
                                                        unsigned long processId) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record(call + " " + std::to_string(processId));
    auto process = processes_.find(processId);
    if (process == processes_.end() || process->second.endUs <= nowUs_) return nullptr;
    platform::KernelHandle handle = NewHandle(kind);
    processHandles_[handle] = processId;
    return handle;
}

platform::KernelHandle FakePlatform::CreateJobObject() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateJobObject");
    return jobFailures.count("job") ? nullptr : NewHandle("job");
}

platform::KernelHandle FakePlatform::CreateJobCompletionPort(platform::KernelHandle job) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateJobCompletionPort");
    if (jobFailures.count("port")) return nullptr;
    return ports_[job] = NewHandle("port");
}

bool FakePlatform::AssignProcessToJobObject(platform::KernelHandle job,
                                            platform::KernelHandle process) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("AssignProcessToJobObject");
    auto id = processHandles_.find(process);
    if (id == processHandles_.end()) return false;
    if (jobFailures.count("assign") && !processes_[id->second].brokeAway) return false;
    processes_[id->second].job = job;
    Report(job, nowUs_, win::JOB_OBJECT_MSG_NEW_PROCESS, id->second);
    return true;
}

bool FakePlatform::IsProcessInJob(platform::KernelHandle process, platform::KernelHandle job) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto id = processHandles_.find(process);
    return id != processHandles_.end() && processes_[id->second].job == job;
}

bool FakePlatform::OwnJobAllowsBreakaway() { return ownJobAllowsBreakaway; }

bool FakePlatform::GetJobProcessIds(platform::KernelHandle job, std::vector<unsigned long>& ids) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (jobFailures.count("ids")) return false;
    ids.clear();
    for (const auto& [id, process] : processes_) {
        if (process.job == job && process.endUs > nowUs_) ids.push_back(id);
    }
    return true;
}

bool FakePlatform::GetJobActiveProcesses(platform::KernelHandle job, unsigned long& count) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (jobFailures.count("count")) return false;
    count = static_cast<unsigned long>(std::count_if(
        processes_.begin(), processes_.end(),
        [&](const auto& entry) { return entry.second.job == job && entry.second.endUs > nowUs_; }));
    return true;
}

bool FakePlatform::GetJobMessage(platform::KernelHandle port, unsigned long milliseconds,
                                 unsigned long& message, unsigned long& processId) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    const std::int64_t deadline = nowUs_ + static_cast<std::int64_t>(milliseconds) * 1000;
    std::vector<JobMessage>& queue = portMessages_[port];
    if (queue.empty() || queue.front().timeUs > deadline) {
        nowUs_ = deadline;
        return false;
    }
    nowUs_ = std::max(nowUs_, queue.front().timeUs);
    message = queue.front().message;
    processId = queue.front().processId;
    queue.erase(queue.begin());
    return true;
}

bool FakePlatform::PostJobMessage(platform::KernelHandle port, unsigned long message) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("PostJobMessage " + std::to_string(message));
    std::vector<JobMessage>& queue = portMessages_[port];
    auto later = std::find_if(queue.begin(), queue.end(),
                              [&](const JobMessage& m) { return m.timeUs > nowUs_; });
    queue.insert(later, JobMessage{nowUs_, message, 0});
    return true;
}

}  // namespace fake
