#include "tests/fake/FakePlatform.h"

#include <gtest/gtest.h>

namespace fake {

FakePlatform::FakePlatform() {
    AddDirectory("C:\\Update");
    AddDirectory("C:\\Program Files");
}

FakePlatform::~FakePlatform() {
    if (hangExpected && hangs == 0) ADD_FAILURE() << "A hang was expected, and the run ended.";
}

platform::WindowHandle FakePlatform::DialogWindow() {
    return reinterpret_cast<platform::WindowHandle>(static_cast<std::uintptr_t>(0x100));
}

void FakePlatform::Record(const std::string& what) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    calls.push_back(Call{nowUs_, what});
}

std::int64_t FakePlatform::NowUs() const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return nowUs_;
}

void FakePlatform::AdvanceUs(std::int64_t us) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    nowUs_ += us;
}

std::vector<Call> FakePlatform::CallsStartingWith(const std::string& prefix) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.what.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    }
    return found;
}

int FakePlatform::CountCalls(const std::string& prefix) const {
    return static_cast<int>(CallsStartingWith(prefix).size());
}

}  // namespace fake
