#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/Markers.h"
#include "platform/Win32Constants.h"
#include "res/StringTable.h"
#include "res/resource.h"
#include "tests/fake/Utf.h"
#include "tests/host/FakeFixture.h"
#include "ui/BiosUpdateDlg.h"

namespace {

constexpr platform::Lresult kDefault = 0x5EED;  // what the double's default processing returns

std::string Text(unsigned id) { return FindString(id, UiLanguage::English); }

// The placement over the whole screen, in front.
std::string CoverTrace(int width, int height) {
    return "SetWindowPos topmost 0,0 " + std::to_string(width) + "x" + std::to_string(height) +
           " flags=" + std::to_string(win::SWP_SHOWWINDOW);
}

class DialogFixture : public FakeFixture {
protected:
    void SetUp() override {
        FakeFixture::SetUp();
        os.AddDirectory("C:\\Update\\Zarel_bios");
    }

    // Creates the window as the modal run does, without running its loop.
    void Open(CBiosUpdateDlg& dialog) {
        platform::DialogHost& host = dialog;
        host.HandleInitDialog(fake::FakePlatform::DialogWindow());
    }

    // Confirmed and past TIMER_START: the worker waits to be run by the test.
    void StartWorker(CBiosUpdateDlg& dialog) {
        os.threadMode = fake::ThreadMode::Deferred;
        Open(dialog);
        dialog.OnTimer(TIMER_START);
    }

    // A message as the window system delivers it to the dialog's window.
    static platform::Lresult Send(CBiosUpdateDlg& dialog, unsigned message, platform::Wparam wParam,
                                  platform::Lparam lParam) {
        platform::DialogHost& host = dialog;
        return host.HandleMessage(message, wParam, lParam);
    }

    std::vector<unsigned> PostedIds() const {
        std::vector<unsigned> ids;
        for (const fake::PostedMessage& m : os.posted) ids.push_back(m.message);
        return ids;
    }

    // The calls that matter for the order of the end of a run.
    std::vector<std::string> EndingCalls() const {
        std::vector<std::string> found;
        for (const fake::Call& call : os.calls) {
            for (const char* prefix : {"CreateDirectory", "RemoveDirectory", "PostQuitMessage"}) {
                if (call.what.rfind(prefix, 0) == 0) found.push_back(prefix);
            }
        }
        return found;
    }
};

TEST_F(DialogFixture, DecliningRemovesTheWorkFolderOnceAndQuitsWithoutTakingTheScreen) {
    os.messageBoxAnswers = {win::IDNO};
    {
        CBiosUpdateDlg dialog(nullptr);
        EXPECT_EQ(dialog.DoModal(), 0);
    }
    EXPECT_EQ(os.CountCalls("RemoveDirectory"), 1);
    EXPECT_FALSE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
    EXPECT_EQ(PostedIds(), std::vector<unsigned>{WM_UPDATE_QUIT});
    EXPECT_EQ(os.quitRequests, 1);
    EXPECT_TRUE(os.timersArmed.empty());
    EXPECT_EQ(os.CountCalls("SetWindowPos"), 0);
    EXPECT_EQ(os.CountCalls("Sleep"), 0);
    ASSERT_EQ(os.messageBoxes.size(), 1u);
    EXPECT_EQ(os.messageBoxes[0].caption, "Corvane - Urgent Update");
    EXPECT_EQ(os.messageBoxes[0].text, Text(139));
    EXPECT_EQ(os.messageBoxes[0].type, win::MB_YESNO);
    EXPECT_EQ(os.messageBoxes[0].owner, fake::FakePlatform::DialogWindow());
}

TEST_F(DialogFixture, ConfirmingTakesTheScreenShowsInitialisingAfterTwoSecondsAndArmsTheStart) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    auto icons = os.CallsStartingWith(Trace("SendMessage", win::WM_SETICON));
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].what, Trace("SendMessage", win::WM_SETICON, win::ICON_BIG));
    EXPECT_EQ(icons[1].what, Trace("SendMessage", win::WM_SETICON, win::ICON_SMALL));
    EXPECT_EQ(os.CountCalls("ModifyStyleEx -" + std::to_string(win::WS_EX_APPWINDOW) + " +" +
                            std::to_string(win::WS_EX_TOOLWINDOW)),
              1);
    EXPECT_EQ(os.CountCalls("SetWindowText " + Text(129)), 1);
    EXPECT_EQ(os.CountCalls(CoverTrace(1024, 768)), 1);
    EXPECT_EQ(os.CountCalls("CenterWindow"), 1);
    EXPECT_EQ(dialog.CopyStatus(), Text(138));
    EXPECT_EQ(os.CallsStartingWith("InvalidateRect")[0].timeUs, 2'000'000);
    EXPECT_EQ(os.timersArmed, (std::vector<std::pair<unsigned, unsigned>>{{TIMER_START, 500}}));
    EXPECT_EQ(dialog.AnimationStep(), 0);
}

TEST_F(DialogFixture, AnUnshownConfirmationCountsAsYesOneEndedByAQuitIsAskedAgain) {
    os.messageBoxAnswers = {0};
    {
        CBiosUpdateDlg dialog(nullptr);
        Open(dialog);
        EXPECT_EQ(os.timersArmed.size(), 1u);
    }
    // A quit ends the box with IDOK, as the window system does.
    os.messageBoxAnswers = {win::IDOK, win::IDNO};
    os.PostFromOutside(nullptr, win::WM_QUIT, 0, 0);
    CBiosUpdateDlg dialog(nullptr);
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(os.messageBoxes.size(), 3u);
    EXPECT_EQ(os.quitRequests, 1);  // declined
    EXPECT_EQ(os.timersArmed.size(), 1u);
}

TEST_F(DialogFixture, TheStartTimerArmsTheAnimationKillsItselfThenStartsTheWorker) {
    os.threadMode = fake::ThreadMode::Deferred;
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    dialog.OnTimer(TIMER_START);
    auto set = os.CallsStartingWith(Trace("SetTimer", TIMER_ANIMATE));
    auto kill = os.CallsStartingWith(Trace("KillTimer", TIMER_START));
    auto start = os.CallsStartingWith("StartThread");
    ASSERT_EQ(set.size(), 1u);
    ASSERT_EQ(kill.size(), 1u);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(set[0].what, Trace("SetTimer", TIMER_ANIMATE, 100));
    EXPECT_EQ(dialog.BiosVersion(), "K38KRPA23");  // queried before the worker starts
    os.RunPendingThreads();                        // the worker deletes itself
}

TEST_F(DialogFixture, TheAnimationStepCyclesThroughThirtyTwoSteps) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    std::vector<int> steps;
    for (int tick = 0; tick < 66; ++tick) {
        dialog.OnTimer(TIMER_ANIMATE);
        steps.push_back(dialog.AnimationStep());
    }
    for (int tick = 0; tick < 66; ++tick) EXPECT_EQ(steps[tick], (tick + 1) % 32);
    // Every tick puts the window back over the whole screen, topmost, and repaints.
    EXPECT_EQ(os.CountCalls(CoverTrace(1024, 768)), 67);
    os.screenWidth = 800;
    os.screenHeight = 600;
    dialog.OnTimer(TIMER_ANIMATE);
    EXPECT_EQ(os.CountCalls(CoverTrace(800, 600)), 1);
    // Only a minimised window is restored, before it is placed again.
    EXPECT_EQ(os.CountCalls("ShowWindow"), 0);
    os.iconic = true;
    os.calls.clear();
    dialog.OnTimer(TIMER_ANIMATE);
    dialog.OnTimer(TIMER_ANIMATE);
    ASSERT_EQ(os.calls.size(), 5u);
    EXPECT_EQ(os.calls[0].what, Trace("ShowWindow", win::SW_RESTORE));
    EXPECT_EQ(os.calls[1].what, CoverTrace(800, 600));
    EXPECT_EQ(os.calls[3].what, CoverTrace(800, 600));
}

TEST_F(DialogFixture, CloseRequestsAreConsumedAndRemoveTheWorkFolderEachTime) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    os.calls.clear();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(Send(dialog, win::WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(os.CountCalls("RemoveDirectory"), 100);
    EXPECT_EQ(os.CountCalls("Default"), 0);
    EXPECT_EQ(os.quitRequests, 0);
    // System commands that would take the screen away do nothing, whatever
    // their low bits (0xF012 is a move from the caption).
    const platform::Wparam refused[] = {
        win::SC_MINIMIZE, win::SC_MAXIMIZE,   win::SC_MOVE,        0xF012,
        win::SC_SIZE + 8, win::SC_SCREENSAVE, win::SC_MONITORPOWER};
    for (platform::Wparam command : refused) {
        EXPECT_EQ(Send(dialog, win::WM_SYSCOMMAND, command, 2), 0) << command;
    }
    EXPECT_EQ(os.CountCalls("Default"), 0);
    // Close goes on to become WM_CLOSE; turning the monitor on is harmless.
    EXPECT_EQ(Send(dialog, win::WM_SYSCOMMAND, win::SC_CLOSE, 0), kDefault);
    EXPECT_EQ(Send(dialog, win::WM_SYSCOMMAND, win::SC_MONITORPOWER, -1), kDefault);
}

TEST_F(DialogFixture, SuspendIsRefusedButStandbyAndOtherEventsPassOn) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    for (platform::Wparam refused : {0u, 4u}) {
        EXPECT_EQ(Send(dialog, win::WM_POWERBROADCAST, refused, 0), 0x424D5144);
    }
    for (platform::Wparam passed : {1u, 7u, 10u, 18u}) {
        EXPECT_EQ(Send(dialog, win::WM_POWERBROADCAST, passed, 0), kDefault);
    }
    EXPECT_EQ(os.CountCalls(Trace("Default", win::WM_POWERBROADCAST)), 4);
    // A change of the power status wakes the worker's wait, and only while
    // its port is open.
    EXPECT_EQ(os.CountCalls("PostJobMessage"), 0);
    platform::AutoCloseHandle port(os.CreateJobCompletionPort(nullptr));
    dialog.WakeOnPowerChange(port.Get());
    Send(dialog, win::WM_POWERBROADCAST, win::PBT_APMPOWERSTATUSCHANGE, 0);
    dialog.WakeOnPowerChange(nullptr);
    Send(dialog, win::WM_POWERBROADCAST, win::PBT_APMPOWERSTATUSCHANGE, 0);
    EXPECT_EQ(os.CountCalls(Trace("PostJobMessage", kPowerChangeMessage)), 1);
}

TEST_F(DialogFixture, LogOffAndShutDownAreRefused) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    EXPECT_EQ(Send(dialog, win::WM_QUERYENDSESSION, 0, 0), 0);
    EXPECT_EQ(Send(dialog, win::WM_QUERYENDSESSION, 0, 0x80000000), 0);
}

TEST_F(DialogFixture, KeyDownsSkipTheDialogKeysOtherMessagesDoNot) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    for (platform::Wparam key : {0x1Bu, 0x0Du, 0x09u, 0x41u}) {
        EXPECT_FALSE(dialog.PreTranslateMessage(
            {fake::FakePlatform::DialogWindow(), win::WM_KEYDOWN, key, 0}));
    }
    EXPECT_EQ(os.CountCalls("IsDialogMessage"), 0);
    dialog.PreTranslateMessage({fake::FakePlatform::DialogWindow(), win::WM_CHAR, 0x1B, 0});
    EXPECT_EQ(os.CountCalls(Trace("IsDialogMessage", win::WM_CHAR)), 1);
}

TEST_F(DialogFixture, FinishCreatesTheUpdateFolderThenRemovesTheWorkFolderThenQuits) {
    CBiosUpdateDlg dialog(nullptr);
    StartWorker(dialog);
    dialog.PostFinish();  // as the worker does
    os.calls.clear();
    Send(dialog, WM_UPDATE_FINISH, 0, 0);
    EXPECT_EQ(EndingCalls(),
              (std::vector<std::string>{"CreateDirectory", "RemoveDirectory", "PostQuitMessage"}));
    EXPECT_TRUE(os.DirectoryExists("C:\\Program Files\\BIOSUPDATE"));
    EXPECT_EQ(os.CountCalls(Trace("Default", WM_UPDATE_FINISH)), 1);
    EXPECT_EQ(dialog.Run().Current(), ui::Stage::Ending);
    os.RunPendingThreads();  // the worker deletes itself
}

TEST_F(DialogFixture, TheExitTimerRemovesTheWorkFolderKillsItselfAndQuits) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "quit request refused" : "quit request queued");
        os.quitRequests = 0;
        os.failingPosts.clear();
        CBiosUpdateDlg dialog(nullptr);
        StartWorker(dialog);
        // The worker's request and its finish; the finish message is not handled.
        dialog.ArmExitTimer();
        dialog.PostFinish();
        Send(dialog, WM_ARM_EXIT_TIMER, 0, 0);
        EXPECT_EQ(os.timers.count(TIMER_EXIT), 1u);
        EXPECT_EQ(os.timers[TIMER_EXIT], 3000u);
        os.calls.clear();
        if (refused) os.failingPosts = {WM_UPDATE_QUIT};
        dialog.OnTimer(TIMER_EXIT);
        EXPECT_EQ(os.CountCalls("RemoveDirectory"), 1);
        EXPECT_EQ(os.timers.count(TIMER_EXIT), 0u);
        EXPECT_EQ(os.CountCalls(Trace("PostMessage", WM_UPDATE_QUIT)), 1);
        if (!refused) Send(dialog, WM_UPDATE_QUIT, 0, 0);
        EXPECT_EQ(os.quitRequests, 1);
        // A late copy, or the next tick, changes nothing.
        Send(dialog, WM_UPDATE_QUIT, 0, 0);
        dialog.OnTimer(TIMER_ANIMATE);
        EXPECT_EQ(os.quitRequests, 1);
        os.RunPendingThreads();
    }
}

// While the flash utility runs, its own visible windows stand above the
// screen, the top one with the focus; the screen stays topmost and goes back
// over any other window that got above it, but moves in front only then; and
// once the utility shows nothing the screen covers everything again.
TEST_F(DialogFixture, OnlyTheUtilitysOwnWindowsStandAboveTheScreen) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    auto window = [](std::uintptr_t n) { return reinterpret_cast<platform::WindowHandle>(n); };
    // Another program's window, the utility's box, its hidden window, a
    // helper's box, and the screen itself, in the order of each tick.
    const platform::Rect shown{100, 100, 400, 300};
    const platform::TopLevelWindow other{window(7), 55, true, false, false, false, {}, true},
        box{window(8), 100, true, true, false, false, shown, true},
        hidden{window(9), 100, false, false, false, false, shown, true},
        helper{window(10), 101, true, true, false, false, shown, true},
        screen{fake::FakePlatform::DialogWindow(), 1, true, true, false, false, {}, true};
    platform::TopLevelWindow unpinned = screen;
    unpinned.topmost = false;
    // The box where the user cannot see it.
    platform::TopLevelWindow minimised = box, cloaked = box, empty = box, away = box;
    minimised.minimised = cloaked.cloaked = true;
    empty.frame = {500, 300, 500, 400};
    away.frame = {1024, 0, 1324, 200};
    away.onDisplay = false;
    const std::string raise =
        " topmost 0,0 0x0 flags=" + std::to_string(win::SWP_NOMOVE | win::SWP_NOSIZE |
                                                   win::SWP_NOACTIVATE | win::SWP_ASYNCWINDOWPOS);
    const std::string front = "SetWindowPos topmost 0,0 1024x768 flags=" +
                              std::to_string(win::SWP_SHOWWINDOW | win::SWP_NOACTIVATE);
    const std::string inPlace =
        "SetWindowPos topmost 0,0 1024x768 flags=" +
        std::to_string(win::SWP_SHOWWINDOW | win::SWP_NOACTIVATE | win::SWP_NOZORDER);
    struct Tick {
        std::vector<unsigned long> utility;
        std::vector<platform::TopLevelWindow> order;
        std::vector<std::string> placement;
    } ticks[] = {
        {{}, {other, screen}, {CoverTrace(1024, 768)}},
        {{100, 101},
         {other, screen, box, hidden, helper},
         {front, "SetWindowPos window 10" + raise, "SetWindowPos window 8" + raise,
          "SetForegroundWindow 8"}},
        // In place, with the focus where the user has it: nothing moves.
        {{100, 101}, {box, helper, screen, other}, {inPlace}},
        {{100, 101}, {box, screen, helper, other}, {inPlace, "SetWindowPos window 10" + raise}},
        {{100, 101},
         {unpinned, box, helper, other},
         {front, "SetWindowPos window 10" + raise, "SetWindowPos window 8" + raise}},
        {{1055}, {box, screen, other}, {CoverTrace(1024, 768)}},
        {{100}, {minimised, screen}, {CoverTrace(1024, 768)}},
        {{100}, {cloaked, screen}, {CoverTrace(1024, 768)}},
        {{100}, {empty, screen}, {CoverTrace(1024, 768)}},
        {{100}, {away, screen}, {CoverTrace(1024, 768)}},
        {{}, {box, screen}, {CoverTrace(1024, 768)}},
    };
    auto placement = [&] {
        std::vector<std::string> found;
        for (const fake::Call& call : os.calls) {
            if (call.what.rfind("SetWindowPos", 0) == 0 || call.what.rfind("SetForeground", 0) == 0)
                found.push_back(call.what);
        }
        return found;
    };
    int processLooks = 0;
    for (const Tick& tick : ticks) {
        SCOPED_TRACE(testing::Message() << "tick " << (&tick - ticks));
        dialog.ShowUtilityProcesses(tick.utility);
        os.topLevelWindows = tick.order;
        os.calls.clear();
        dialog.OnTimer(TIMER_ANIMATE);
        processLooks += os.CountCalls("GetWindowProcessId");
        EXPECT_EQ(placement(), tick.placement);
        // Without a window of the utility the next look comes three ticks
        // later, the screen keeping its place until then. With one, every
        // tick looks: a window still under the screen is raised again.
        const bool covering = tick.placement[0] == CoverTrace(1024, 768);
        std::vector<std::string> again;
        for (const std::string& call : tick.placement) {
            if (call.rfind("SetForeground", 0) != 0) again.push_back(call);
        }
        for (int between = 0; between < 2; ++between) {
            os.calls.clear();
            dialog.OnTimer(TIMER_ANIMATE);
            EXPECT_EQ(os.CountCalls("EnumTopLevelWindows"), covering ? 0 : 1);
            EXPECT_EQ(placement(), again);
        }
    }
    // Each window's process is looked up once while the window stays listed.
    EXPECT_EQ(processLooks, 5);
}

// Requests that any program can post to the window or its thread.
struct OutsideRequest {
    unsigned message;
    platform::Wparam wParam;
};
const OutsideRequest kOutsideRequests[] = {
    {win::WM_COMMAND, win::IDOK},
    {win::WM_COMMAND, win::IDCANCEL},
    {win::WM_COMMAND, 0x1234},
    {WM_UPDATE_FINISH, 0},
    {WM_UPDATE_QUIT, 0},
    {WM_ARM_EXIT_TIMER, 0},
    {win::WM_TIMER, TIMER_EXIT},
    {win::WM_TIMER, TIMER_START},
    // A 64-bit timer id that only a cut to 32 bits would take for TIMER_START.
    {win::WM_TIMER, static_cast<platform::Wparam>(0x100000000ull | TIMER_START)},
};

TEST_F(DialogFixture, OutsideRequestsChangeNothingUntilTheWorkerHasFinished) {
    os.threadMode = fake::ThreadMode::Deferred;
    CBiosUpdateDlg dialog(nullptr);
    platform::DialogHost& host = dialog;
    auto sendOutsideRequests = [&](const char* phase) {
        SCOPED_TRACE(phase);
        os.calls.clear();
        for (const OutsideRequest& request : kOutsideRequests) {
            // Before its own tick a start tick only starts the run early.
            if (request.message == win::WM_TIMER && request.wParam == TIMER_START &&
                !os.timers.count(TIMER_ANIMATE))
                continue;
            platform::QueuedMessage msg{fake::FakePlatform::DialogWindow(), request.message,
                                        request.wParam, 0};
            if (!host.HandlePreTranslate(msg)) Send(dialog, msg.message, msg.wParam, 0);
        }
        EXPECT_FALSE(host.HandleQuit());
        EXPECT_EQ(os.quitRequests, 0);
        EXPECT_EQ(os.CountCalls("EndDialog"), 0);
        EXPECT_EQ(os.CountCalls("CreateDirectory"), 0);
        EXPECT_EQ(os.CountCalls("RemoveDirectory"), 0);
        EXPECT_EQ(os.CountCalls("StartThread"), 0);
        EXPECT_EQ(os.CountCalls("SetTimer"), 0);
        EXPECT_EQ(os.CountCalls("KillTimer"), 0);
    };
    Open(dialog);
    sendOutsideRequests("waiting to start");
    dialog.OnTimer(TIMER_START);
    sendOutsideRequests("worker running");
    dialog.ArmExitTimer();
    Send(dialog, WM_ARM_EXIT_TIMER, 0, 0);
    ASSERT_EQ(os.timers.count(TIMER_EXIT), 1u);
    sendOutsideRequests("exit timer armed, worker not done");

    dialog.PostFinish();
    Send(dialog, WM_UPDATE_FINISH, 0, 0);
    EXPECT_EQ(EndingCalls(),
              (std::vector<std::string>{"CreateDirectory", "RemoveDirectory", "PostQuitMessage"}));
    EXPECT_TRUE(host.HandleQuit());
    os.RunPendingThreads();  // the worker deletes itself
}

// Posts fail, for example when the window's queue is full: the worker's
// finish is seen at the next tick, and the run ends once.
TEST_F(DialogFixture, ALostFinishEndsTheRunAtTheNextTickExactlyOnce) {
    os.AddPackage();
    os.processRunUs = 20'000'000;
    for (const char* version : {"K38KRPA23", "K38KRPA24"}) {
        SCOPED_TRACE(version);
        os.biosInstances[0].text = fake::Utf16FromUtf8(version);
        os.calls.clear();
        os.posted.clear();
        os.quitRequests = 0;
        os.failingPosts = {WM_UPDATE_FINISH, WM_ARM_EXIT_TIMER};
        {
            CBiosUpdateDlg dialog(nullptr);
            dialog.DoModal();
            // Late copies change nothing once the run ends.
            Send(dialog, WM_UPDATE_FINISH, 0, 0);
            dialog.OnTimer(TIMER_ANIMATE);
        }
        auto lost = os.CallsStartingWith(Trace("PostMessage", WM_UPDATE_FINISH));
        auto quit = os.CallsStartingWith("PostQuitMessage");
        ASSERT_EQ(lost.size(), 1u);
        ASSERT_EQ(quit.size(), 1u);
        EXPECT_LE(quit[0].timeUs - lost[0].timeUs, 100'000);
        EXPECT_EQ(os.CountCalls("CreateDirectory"), 1);
        EXPECT_EQ(os.CountCalls("RegSetValueEx Version"), 1);
        // Without a flash the exit timer is still armed before the end.
        const bool flashed = std::string(version) == "K38KRPA23";
        EXPECT_EQ(os.CountCalls(Trace("SetTimer", TIMER_EXIT)), flashed ? 0 : 1);
    }
}

TEST(RunStateTest, EachStageMovesOnlyOnItsOwnSignals) {
    using ui::Signal;
    using ui::Stage;
    const Stage stages[] = {Stage::Asking,    Stage::Pausing,  Stage::Starting, Stage::Working,
                            Stage::Finishing, Stage::Quitting, Stage::Ending};
    const Signal signals[] = {Signal::Declined,       Signal::Confirmed,
                              Signal::StartTick,      Signal::WorkerStarted,
                              Signal::WorkerFailed,   Signal::ExitTimerRequest,
                              Signal::WorkerFinished, Signal::ExitTick,
                              Signal::OwnQuit,        Signal::LoopQuit};
    // Per stage, the signals it takes and where each leads; it refuses all others.
    using Moves = std::vector<std::pair<Signal, Stage>>;
    const std::map<Stage, Moves> accepted = {
        {Stage::Asking, {{Signal::Declined, Stage::Quitting}, {Signal::Confirmed, Stage::Pausing}}},
        {Stage::Pausing, {{Signal::StartTick, Stage::Starting}}},
        {Stage::Starting,
         {{Signal::WorkerStarted, Stage::Working}, {Signal::WorkerFailed, Stage::Quitting}}},
        {Stage::Working,
         {{Signal::ExitTimerRequest, Stage::Finishing}, {Signal::WorkerFinished, Stage::Ending}}},
        {Stage::Finishing,
         {{Signal::WorkerFinished, Stage::Ending}, {Signal::ExitTick, Stage::Quitting}}},
        {Stage::Quitting, {{Signal::OwnQuit, Stage::Ending}}},
        {Stage::Ending, {{Signal::LoopQuit, Stage::Ending}}},
    };
    // The shortest signals that lead from Asking to each stage.
    auto reach = [](Stage stage) {
        ui::RunState state;
        const std::vector<Signal> paths[] = {
            {},
            {Signal::Confirmed},
            {Signal::Confirmed, Signal::StartTick},
            {Signal::Confirmed, Signal::StartTick, Signal::WorkerStarted},
            {Signal::Confirmed, Signal::StartTick, Signal::WorkerStarted, Signal::ExitTimerRequest},
            {Signal::Declined},
            {Signal::Declined, Signal::OwnQuit},
        };
        for (Signal signal : paths[static_cast<int>(stage)]) EXPECT_TRUE(state.Take(signal));
        EXPECT_EQ(state.Current(), stage);
        return state;
    };
    int taken = 0;
    for (Stage from : stages) {
        for (Signal signal : signals) {
            ui::RunState state = reach(from);
            const Moves& moves = accepted.at(from);
            auto move = std::find_if(moves.begin(), moves.end(),
                                     [&](const auto& m) { return m.first == signal; });
            const bool takes = move != moves.end();
            SCOPED_TRACE(testing::Message() << "stage " << static_cast<int>(from) << ", signal "
                                            << static_cast<int>(signal));
            EXPECT_EQ(state.Take(signal), takes);
            EXPECT_EQ(state.Current(), takes ? move->second : from);
            EXPECT_EQ(state.HoldsScreen(), state.Current() != Stage::Asking);
            taken += takes;
        }
    }
    EXPECT_EQ(taken, 11);
}

// The ends without the worker's finish quit once, without a word, also when
// the queue refuses the dialog's own quit request (full, say).
TEST_F(DialogFixture, AnEndWithoutTheWorkersFinishQuitsOnceEvenWhenItsRequestIsRefused) {
    struct Case {
        const char* what;
        int answer;
        fake::ThreadMode mode;
        bool postFails;
    } cases[] = {
        {"declined", win::IDNO, fake::ThreadMode::Inline, false},
        {"declined, request refused", win::IDNO, fake::ThreadMode::Inline, true},
        {"worker cannot start", win::IDYES, fake::ThreadMode::Fail, false},
        {"worker cannot start, request refused", win::IDYES, fake::ThreadMode::Fail, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::FakePlatform fresh;
        InstalledFor installed(fresh, os);
        fresh.AddDirectory("C:\\Update\\Zarel_bios");
        fresh.messageBoxAnswers = {c.answer};
        fresh.threadMode = c.mode;
        if (c.postFails) fresh.failingPosts = {WM_UPDATE_QUIT};
        {
            CBiosUpdateDlg dialog(nullptr);
            EXPECT_EQ(dialog.DoModal(), 0);
            EXPECT_EQ(dialog.Run().Current(), ui::Stage::Ending);
            if (c.answer == win::IDYES) {
                EXPECT_EQ(dialog.CopyStatus(), Text(138));
            }
        }
        EXPECT_EQ(fresh.quitRequests, 1);
        EXPECT_EQ(fresh.CountCalls("RemoveDirectory"), 1);
        EXPECT_EQ(fresh.messageBoxes.size(), 1u);  // the confirmation only
        EXPECT_EQ(fresh.CountCalls("RegSetValueEx"), 0);
    }
}

TEST_F(DialogFixture, ControlColoursAreBlackWithOneSharedBrush) {
    CBiosUpdateDlg dialog(nullptr);
    Open(dialog);
    platform::Lresult brush = Send(dialog, win::WM_CTLCOLORDLG, 0x77, 0);
    EXPECT_NE(brush, 0);
    for (unsigned message = win::WM_CTLCOLORMSGBOX; message <= win::WM_CTLCOLORSTATIC; ++message) {
        EXPECT_EQ(Send(dialog, message, 0x77, 0), brush);
    }
    EXPECT_EQ(os.CountCalls("SetBkColor 0"), 8);
    EXPECT_EQ(os.CountCalls("CreateSolidBrush 0"), 1);
    EXPECT_EQ(Send(dialog, win::WM_QUERYDRAGICON, 0, 0),
              reinterpret_cast<platform::Lresult>(os.LoadIconA(IDR_MAINFRAME)));
}

// A whole run on the virtual clock, the worker inline on the dialog's thread.
TEST_F(DialogFixture, AWholeRunWithoutFlashEndsOnTheFinishMessage) {
    os.biosInstances[0].text = u"K38KRPA24";
    {
        CBiosUpdateDlg dialog(nullptr);
        dialog.DoModal();
        EXPECT_EQ(dialog.CopyStatus(), Text(142));
    }
    EXPECT_EQ(os.quitRequests, 1);
    // The exit timer is armed on the dialog's thread before the finish is handled.
    auto armed = os.CallsStartingWith(Trace("SetTimer", TIMER_EXIT, 3000));
    auto quit = os.CallsStartingWith("PostQuitMessage");
    ASSERT_EQ(armed.size(), 1u);
    ASSERT_EQ(quit.size(), 1u);
    EXPECT_LE(armed[0].timeUs, quit[0].timeUs);
    EXPECT_EQ(os.CountCalls("RegSetValueEx Version size=" + std::to_string(app::kMarkerDataSize)),
              1);
    EXPECT_TRUE(os.DirectoryExists("C:\\Program Files\\BIOSUPDATE"));
    EXPECT_FALSE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
}

// A refused package leaves neither marker nor update folder: a later run
// with good files is not skipped.
TEST_F(DialogFixture, AWholeRunWithFlashKeepsTheWorkFolderThatHoldsTheUtility) {
    for (bool changed : {false, true}) {
        SCOPED_TRACE(changed ? "package changed" : "package as built");
        fake::FakePlatform fresh;
        InstalledFor installed(fresh, os);
        fresh.AddPackage();
        if (changed) fresh.AddFile("C:\\Update\\Zarel_bios\\K38KRPA24", "changed");
        fresh.processRunUs = 180'000'000;
        // Handled while the run waits to start, together with a quit to the thread.
        for (const OutsideRequest& request : kOutsideRequests) {
            fresh.PostFromOutside(fake::FakePlatform::DialogWindow(), request.message,
                                  request.wParam, 0);
        }
        fresh.PostFromOutside(nullptr, win::WM_QUIT, 0, 0);
        {
            CBiosUpdateDlg dialog(nullptr);
            dialog.DoModal();
            EXPECT_EQ(dialog.CopyStatus(), Text(changed ? 144 : 137));
        }
        EXPECT_EQ(fresh.processStarts.size(), changed ? 0u : 1u);
        EXPECT_EQ(fresh.CountCalls("RegSetValueEx Version"), changed ? 0 : 1);
        EXPECT_EQ(fresh.DirectoryExists("C:\\Program Files\\BIOSUPDATE"), !changed);
        EXPECT_EQ(fresh.CountCalls(Trace("SetTimer", TIMER_EXIT)), changed ? 1 : 0);
        EXPECT_TRUE(fresh.FileExists("C:\\Update\\Zarel_bios\\winflash.exe"));
        EXPECT_EQ(fresh.quitRequests, 1);
    }
}

TEST_F(DialogFixture, TheMachineIsKeptAwakeWhileTheWindowExistsOnEveryPath) {
    struct Path {
        int answer;
        fake::ThreadMode mode;
        bool windowFails;
    } paths[] = {{win::IDNO, fake::ThreadMode::Inline, false},
                 {win::IDYES, fake::ThreadMode::Inline, false},
                 {win::IDYES, fake::ThreadMode::Fail, false},
                 {win::IDYES, fake::ThreadMode::Inline, true}};
    for (const Path& path : paths) {
        fake::FakePlatform fresh;
        InstalledFor installed(fresh, os);
        fresh.AddPackage();
        fresh.messageBoxAnswers = {path.answer};
        fresh.threadMode = path.mode;
        fresh.dialogCreationFails = path.windowFails;
        {
            CBiosUpdateDlg dialog(nullptr);
            dialog.DoModal();
        }
        const int expected = path.windowFails ? 0 : 1;
        EXPECT_EQ(fresh.executionRequests, expected);
        EXPECT_EQ(fresh.executionReleases, expected);
        EXPECT_EQ(fresh.shutdownReasonsCreated, expected);
        EXPECT_EQ(fresh.shutdownReasonsDestroyed, expected);
        if (expected) {
            EXPECT_EQ(fresh.shutdownReason, fake::Utf16FromUtf8(Text(137)));
            // Taken in one order, let go in the reverse.
            std::vector<std::string> machine;
            for (const fake::Call& call : fresh.calls) {
                if (call.what.rfind("SetThreadExecutionState", 0) == 0 ||
                    call.what.rfind("ShutdownBlockReason", 0) == 0) {
                    machine.push_back(call.what);
                }
            }
            const std::vector<std::string> order = {
                Trace("SetThreadExecutionState",
                      win::ES_CONTINUOUS | win::ES_SYSTEM_REQUIRED | win::ES_DISPLAY_REQUIRED),
                "ShutdownBlockReasonCreate", "ShutdownBlockReasonDestroy",
                Trace("SetThreadExecutionState", win::ES_CONTINUOUS)};
            EXPECT_EQ(machine, order);
        }
        EXPECT_EQ(fresh.LiveGdiObjects(), 0);
    }
}

// The framework's own dialog ends on the dialog keys' commands, as a
// framework dialog does: only the update dialog's handling keeps it open.
TEST_F(DialogFixture, TheFrameworkDialogEndsOnOkAndCancelCommands) {
    for (platform::Wparam command : {1u, 2u}) {
        os.calls.clear();
        CDialog plain(102, nullptr);
        platform::DialogHost& host = plain;
        host.HandleInitDialog(fake::FakePlatform::DialogWindow());
        EXPECT_EQ(host.HandleMessage(win::WM_COMMAND, command, 0), 0);
        EXPECT_EQ(os.CountCalls("EndDialog"), 1);
    }
}

}  // namespace
