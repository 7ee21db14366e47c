// The double's processes, jobs and threads, and the kernel handles open on
// them. A started process runs on the virtual clock.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/os/ProcessCalls.h"

namespace fake {

struct ProcessStart {
    std::string application;
    std::string commandLine;
    unsigned long flags;
    std::string directory;
    std::int64_t timeUs;
    unsigned errorMode;  // the one the process inherits
};

struct ThreadEntryCall {
    platform::ThreadEntry entry;
    void* argument;
};

enum class ThreadMode {
    Inline,    // the entry runs to its end inside StartThread
    Deferred,  // the entry waits in pendingThreads until the test runs it
    Real,      // a real thread, detached
    Fail,      // the thread cannot be started
};

class ProcessState {
public:
    // ---- Scripted state -------------------------------------------------
    bool processStartFails = false;
    std::int64_t processRunUs = 0;  // how long a started process runs
    // > 0: the started process hands off to a helper that runs this long.
    std::int64_t helperRunUs = 0;
    unsigned long processExitCode = 0;  // of the started process, when it ends
    unsigned long helperExitCode = 0;
    // Job steps that fail: "job", "port", "assign" (of a process that did
    // not break away from this program's own job), "count", "ids", and
    // "duplicate" for the guard's duplication.
    std::set<std::string> jobFailures;
    bool ownJobAllowsBreakaway = false;
    bool resumeFails = false;
    bool jobMessagesLost = false;  // the port reports nothing
    // A file another program puts in place right after each process start.
    std::string plantedOnStart;
    ThreadMode threadMode = ThreadMode::Inline;

    // ---- What happened --------------------------------------------------
    std::vector<ProcessStart> processStarts;
    int resumes = 0;
    std::vector<unsigned long> terminated;  // process ids
    std::vector<ThreadEntryCall> pendingThreads;

    int OpenKernelHandles() const { return static_cast<int>(openHandles_.size()); }

protected:
    struct Process {
        std::int64_t endUs;  // INT64_MAX while suspended
        platform::KernelHandle job;
        bool helper;
        unsigned long exitCode = 0;
        bool brokeAway = false;  // started outside this program's own job
    };
    struct JobMessage {
        std::int64_t timeUs;
        unsigned long message;
        unsigned long processId;
    };

    unsigned long StartProcess(platform::KernelHandle job, bool helper);
    // Queues message on the port of job, if it has one, in time order.
    void Report(platform::KernelHandle job, std::int64_t timeUs, unsigned long message,
                unsigned long processId);

    std::set<platform::KernelHandle> openHandles_;
    std::map<platform::KernelHandle, std::string> handleKinds_;
    std::uintptr_t nextHandle_ = 0x1000;
    std::map<unsigned long, Process> processes_;                      // by id
    std::map<platform::KernelHandle, unsigned long> processHandles_;  // process and thread handles
    std::map<platform::KernelHandle, platform::KernelHandle> ports_;  // job -> port
    std::map<platform::KernelHandle, std::vector<JobMessage>> portMessages_;
    unsigned long nextProcessId_ = 100;
};

}  // namespace fake
