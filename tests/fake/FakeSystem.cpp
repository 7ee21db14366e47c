// The double's start-up and COM.
#include <iterator>
#include <utility>

#include "tests/fake/FakePlatform.h"

namespace fake {

std::string FakePlatform::GetCommandLineA() { return commandLine; }

unsigned FakePlatform::AddErrorMode(unsigned flags) {
    return std::exchange(addedErrorMode, addedErrorMode | flags);
}

unsigned FakePlatform::SetErrorMode(unsigned mode) { return std::exchange(addedErrorMode, mode); }

std::optional<std::string> FakePlatform::GetModuleFileNameA() { return modulePath; }

void FakePlatform::InitCommonControls() { Record("InitCommonControls"); }

platform::MutexResult FakePlatform::CreateInstanceMutex(const std::string& name) {
    Record("CreateMutex " + name);
    if (mutexFails) return platform::MutexResult::Failed;
    if (!existingMutexes.insert(name).second) return platform::MutexResult::AlreadyExists;
    return platform::MutexResult::Created;
}

bool FakePlatform::DuplicateInstanceMutexInto(platform::KernelHandle process) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto id = processHandles_.find(process);
    const bool live = openHandles_.count(process) && id != processHandles_.end() &&
                      handleKinds_[process] == "process";
    if (!live) {
        Record("DuplicateInstanceMutexInto other");
        return false;
    }
    Record(processes_[id->second].helper ? "DuplicateInstanceMutexInto helper"
                                         : "DuplicateInstanceMutexInto process");
    return !jobFailures.count("duplicate");
}

bool FakePlatform::GetSystemPowerStatus(platform::PowerStatus& status) {
    Record("GetSystemPowerStatus");
    auto from = powerFrom.upper_bound(NowUs());
    if (from != powerFrom.begin()) {
        const std::optional<platform::PowerStatus>& scripted = std::prev(from)->second;
        if (scripted) status = *scripted;
        return scripted.has_value();
    }
    if (powerReadable) status = power;
    return powerReadable;
}

unsigned long FakePlatform::GetSystemDefaultLCID() { return systemLocale; }

void FakePlatform::Sleep(unsigned long milliseconds) {
    Record("Sleep " + std::to_string(milliseconds));
    AdvanceUs(static_cast<std::int64_t>(milliseconds) * 1000);
}

unsigned long FakePlatform::GetTickCount() { return static_cast<unsigned long>(NowUs() / 1000); }

void FakePlatform::RestrictDllSearchPath() { Record("RestrictDllSearchPath"); }

void FakePlatform::CoInitialize() {
    Record("CoInitialize");
    ++coInitializeCalls;
}

platform::Hresult FakePlatform::CoInitializeSecurity() {
    Record("CoInitializeSecurity");
    ++securityCalls;
    return securityResult;
}

platform::Hresult FakePlatform::CoInitializeMultithreaded() { return 0; }

void FakePlatform::CoUninitialize() { Record("CoUninitialize"); }

}  // namespace fake
