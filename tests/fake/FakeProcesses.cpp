// The double's processes and threads: kernel handles, process starts and
// waits on the virtual clock, and threads run as the test chooses.
#include <mutex>
#include <thread>

#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"

namespace fake {

namespace {
class FakeLock final : public platform::Lock {
public:
    void Enter() override { mutex_.lock(); }
    void Leave() override { mutex_.unlock(); }

private:
    std::mutex mutex_;
};
}  // namespace

platform::KernelHandle FakePlatform::NewHandle() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    nextHandle_ += 4;
    platform::KernelHandle handle = reinterpret_cast<platform::KernelHandle>(nextHandle_);
    openHandles_.insert(handle);
    return handle;
}

platform::KernelHandle FakePlatform::NewHandle(const std::string& kind) {
    platform::KernelHandle handle = NewHandle();
    handleKinds_[handle] = kind;
    return handle;
}

bool FakePlatform::CreateProcessA(const std::string& application, std::string& commandLine,
                                  unsigned long flags, const std::string& directory,
                                  platform::ProcessInfo& info) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateProcess " + commandLine);
    processStarts.push_back(
        ProcessStart{application, commandLine, flags, directory, nowUs_, addedErrorMode});
    if (processStartFails || !FileExists(application)) return false;
    info.processId = StartProcess(nullptr, false);
    processes_[info.processId].brokeAway = (flags & win::CREATE_BREAKAWAY_FROM_JOB) != 0;
    info.process = NewHandle("process");
    info.thread = NewHandle("thread");
    processHandles_[info.process] = info.processId;
    processHandles_[info.thread] = info.processId;
    if (!plantedOnStart.empty()) AddFile(plantedOnStart, "MZ");
    if (!(flags & win::CREATE_SUSPENDED)) RunProcess(info.processId);
    return true;
}

unsigned long FakePlatform::WaitForSingleObject(platform::KernelHandle handle,
                                                unsigned long milliseconds) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("WaitForSingleObject " + std::to_string(milliseconds));
    auto id = processHandles_.find(handle);
    if (id == processHandles_.end()) return 0xFFFFFFFF;
    const std::int64_t end = processes_[id->second].endUs;
    if (end == INT64_MAX) return win::WAIT_TIMEOUT;  // suspended: it would never end
    const std::int64_t timeoutUs = static_cast<std::int64_t>(milliseconds) * 1000;
    if (milliseconds != win::INFINITE && end > nowUs_ + timeoutUs) {
        nowUs_ += timeoutUs;
        return win::WAIT_TIMEOUT;
    }
    if (end > nowUs_) nowUs_ = end;
    return 0;
}

void FakePlatform::CloseHandle(platform::KernelHandle handle) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto kind = handleKinds_.find(handle);
    Record("CloseHandle " + (kind == handleKinds_.end() ? std::string("other") : kind->second));
    openHandles_.erase(handle);
}

bool FakePlatform::StartThread(platform::ThreadEntry entry, void* argument) {
    Record("StartThread");
    switch (threadMode) {
        case ThreadMode::Inline:
            entry(argument);
            return true;
        case ThreadMode::Deferred:
            pendingThreads.push_back(ThreadEntryCall{entry, argument});
            return true;
        case ThreadMode::Real:
            std::thread(entry, argument).detach();
            return true;
        case ThreadMode::Fail:
            return false;
    }
    return false;
}

std::unique_ptr<platform::Lock> FakePlatform::CreateLock() { return std::make_unique<FakeLock>(); }

void FakePlatform::RunPendingThreads() {
    while (!pendingThreads.empty()) {
        ThreadEntryCall next = pendingThreads.front();
        pendingThreads.erase(pendingThreads.begin());
        next.entry(next.argument);
    }
}

}  // namespace fake
