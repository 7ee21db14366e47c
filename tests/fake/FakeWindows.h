// The double's windows: one modal dialog with its message queue and
// timers, recorded window operations and message boxes with scripted answers.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/WindowCalls.h"

namespace fake {

struct MessageBoxCall {
    platform::WindowHandle owner;
    std::string text;
    std::string caption;
    unsigned type;
};

struct PostedMessage {
    platform::WindowHandle window;
    unsigned message;
    platform::Wparam wParam;
    platform::Lparam lParam;
    std::int64_t timeUs;
};

class WindowState {
public:
    // ---- Scripted state -------------------------------------------------
    std::deque<int> messageBoxAnswers;  // empty: IDOK for MB_OK, IDYES otherwise
    std::set<unsigned> failingPosts;    // messages whose PostMessageA fails
    int screenWidth = 1024;
    int screenHeight = 768;
    bool iconic = false;
    bool dialogCreationFails = false;
    // The desktop's other top-level windows, the topmost first.
    std::vector<platform::TopLevelWindow> topLevelWindows;
    platform::WindowHandle foreground = nullptr;
    // The case shows a hang: the UI loop's stall is its expectation, not a
    // failure.
    bool hangExpected = false;

    // ---- What happened --------------------------------------------------
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<PostedMessage> posted;    // every post, in order
    std::map<unsigned, unsigned> timers;  // armed timers: id -> interval
    std::vector<std::pair<unsigned, unsigned>> timersArmed;
    int quitRequests = 0;
    int hangs = 0;  // UI loops that stalled or never ran dry
    int invalidations = 0;
    unsigned long executionState = 0;
    int executionRequests = 0;
    int executionReleases = 0;
    std::u16string shutdownReason;
    int shutdownReasonsCreated = 0;
    int shutdownReasonsDestroyed = 0;

protected:
    platform::DialogHost* dialog_ = nullptr;
    std::deque<PostedMessage> queue_;
    std::map<unsigned, std::int64_t> timerDue_;
    bool destroyed_ = false;
    bool quitPending_ = false;
};

}  // namespace fake
