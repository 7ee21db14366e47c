// The double's modal dialog: its UI loop runs posted messages, quit
// requests, deferred threads and timers on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"

namespace fake {

namespace {
constexpr platform::Lresult kDefaultResult = 0x5EED;
constexpr int kTurnLimit = 1000000;
constexpr std::size_t kTracedCalls = 12;
}  // namespace

// On Windows a loop with nothing left to do blocks for ever, and one that
// never runs dry spins for ever: either is a hang, which fails the running
// test unless the test expects it.
void FakePlatform::Hang(const std::string& how) {
    Record("UI loop " + how);
    ++hangs;
    if (hangExpected) return;
    std::string trace;
    const std::size_t first = calls.size() > kTracedCalls ? calls.size() - kTracedCalls : 0;
    for (std::size_t i = first; i < calls.size(); ++i) {
        trace += "\n  " + std::to_string(calls[i].timeUs) + " us  " + calls[i].what;
    }
    ADD_FAILURE() << "The run would hang: the UI loop " << how << ". Last calls:" << trace;
}

void FakePlatform::RunModalDialog(unsigned templateId, platform::DialogHost& host) {
    Record("RunModalDialog " + std::to_string(templateId));
    if (dialogCreationFails) return;
    dialog_ = &host;
    destroyed_ = false;
    quitPending_ = false;
    host.HandleInitDialog(DialogWindow());
    // The UI loop: posted messages first, then a quit request; when idle,
    // the next timer is due.
    int turns = 0;
    for (; !destroyed_ && turns < kTurnLimit; ++turns) {
        if (!queue_.empty()) {
            PostedMessage next = queue_.front();
            queue_.pop_front();
            if (next.message == win::WM_QUIT) {
                if (host.HandleQuit()) break;
                continue;
            }
            platform::QueuedMessage msg{next.window, next.message, next.wParam, next.lParam};
            if (!host.HandlePreTranslate(msg))
                host.HandleMessage(msg.message, msg.wParam, msg.lParam);
            continue;
        }
        if (quitPending_) {
            quitPending_ = false;
            if (host.HandleQuit()) break;
            continue;
        }
        if (!pendingThreads.empty()) {
            RunPendingThreads();
            continue;
        }
        if (timerDue_.empty()) {
            Hang("stalled");
            break;
        }
        auto earliest =
            std::min_element(timerDue_.begin(), timerDue_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        const unsigned id = earliest->first;
        if (earliest->second > nowUs_) nowUs_ = earliest->second;
        earliest->second = nowUs_ + static_cast<std::int64_t>(timers[id]) * 1000;
        queue_.push_back(PostedMessage{DialogWindow(), win::WM_TIMER, id, 0, nowUs_});
    }
    if (turns == kTurnLimit) Hang("never ran dry");
    host.HandleDestroyed();
    timers.clear();
    timerDue_.clear();
    queue_.clear();
    dialog_ = nullptr;
}

platform::Lresult FakePlatform::DefaultWindowProc(platform::WindowHandle, unsigned message,
                                                  platform::Wparam, platform::Lparam) {
    Record("Default " + std::to_string(message));
    return kDefaultResult;
}

void FakePlatform::EndDialog(platform::WindowHandle) {
    Record("EndDialog");
    destroyed_ = true;
}

bool FakePlatform::IsDialogMessage(platform::WindowHandle, const platform::QueuedMessage& msg) {
    Record("IsDialogMessage " + std::to_string(msg.message));
    return false;
}

platform::Lresult FakePlatform::SendMessageA(platform::WindowHandle window, unsigned message,
                                             platform::Wparam wParam, platform::Lparam lParam) {
    Record("SendMessage " + std::to_string(message) + " " + std::to_string(wParam));
    if (dialog_ && window == DialogWindow()) return dialog_->HandleMessage(message, wParam, lParam);
    return 0;
}

bool FakePlatform::PostMessageA(platform::WindowHandle window, unsigned message,
                                platform::Wparam wParam, platform::Lparam lParam) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (failingPosts.count(message)) {
        Record("PostMessage " + std::to_string(message) + " failed");
        return false;
    }
    Record("PostMessage " + std::to_string(message));
    posted.push_back(PostedMessage{window, message, wParam, lParam, nowUs_});
    queue_.push_back(posted.back());
    return true;
}

void FakePlatform::PostQuitMessage(int exitCode) {
    Record("PostQuitMessage " + std::to_string(exitCode));
    ++quitRequests;
    quitPending_ = true;
}

bool FakePlatform::TakeQuitRequest() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto quit = std::find_if(queue_.begin(), queue_.end(),
                             [](const PostedMessage& m) { return m.message == win::WM_QUIT; });
    if (quit != queue_.end()) {
        queue_.erase(quit);
        return true;
    }
    const bool pending = quitPending_;
    quitPending_ = false;
    return pending;
}

void FakePlatform::PostFromOutside(platform::WindowHandle window, unsigned message,
                                   platform::Wparam wParam, platform::Lparam lParam) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    queue_.push_back(PostedMessage{window, message, wParam, lParam, nowUs_});
}

bool FakePlatform::SetTimer(platform::WindowHandle, unsigned id, unsigned milliseconds) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("SetTimer " + std::to_string(id) + " " + std::to_string(milliseconds));
    timers[id] = milliseconds;
    timersArmed.emplace_back(id, milliseconds);
    timerDue_[id] = nowUs_ + static_cast<std::int64_t>(milliseconds) * 1000;
    return true;
}

bool FakePlatform::KillTimer(platform::WindowHandle, unsigned id) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("KillTimer " + std::to_string(id));
    timerDue_.erase(id);
    return timers.erase(id) != 0;
}

}  // namespace fake
