#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Markers.h"
#include "platform/Win32Constants.h"
#include "res/StringTable.h"
#include "tests/host/FakeFixture.h"
#include "update/DownloadThread.h"
#include "update/UtilityJob.h"

namespace {

// A lost message of the job is made good by the next poll.
constexpr std::int64_t kJobPollUs = static_cast<std::int64_t>(update::kJobPollMs) * 1000;

// Records what the worker does to its dialog, on the virtual clock.
class RecordingHost : public WorkerHost {
public:
    explicit RecordingHost(fake::FakePlatform& os, std::string version)
        : os_(os), version_(std::move(version)) {}

    const std::string& BiosVersion() const override { return version_; }
    void ShowStatus(const std::string& text) override {
        events.push_back({os_.NowUs(), "status " + text});
    }
    void ArmExitTimer() override { events.push_back({os_.NowUs(), "exit timer"}); }
    void RecordNothingDone() override { events.push_back({os_.NowUs(), "nothing done"}); }
    void PostFinish() override { events.push_back({os_.NowUs(), "finish"}); }
    void ShowUtilityProcesses(const std::vector<unsigned long>& ids) override {
        utilityShown.push_back(ids);
    }
    void WakeOnPowerChange(platform::KernelHandle port) override { wakePorts.push_back(port); }

    std::vector<fake::Call> events;
    std::vector<std::vector<unsigned long>> utilityShown;  // each change
    std::vector<platform::KernelHandle> wakePorts;

private:
    fake::FakePlatform& os_;
    std::string version_;
};

std::string Text(unsigned id) { return FindString(id, UiLanguage::English); }

class WorkerFixture : public FakeFixture {
protected:
    void SetUp() override {
        FakeFixture::SetUp();
        os.AddPackage();
        os.processRunUs = 60'000'000;
    }

    // Runs the worker's thread body to its end for a running version.
    std::vector<fake::Call> Run(const std::string& version) {
        RecordingHost host(os, version);
        CHWDriverDownloadThread worker(&host);
        worker.m_bAutoDelete = false;
        EXPECT_FALSE(worker.InitInstance());
        markerWrites = os.CallsStartingWith("RegSetValueEx Version");
        platform = worker.m_strPlatform;
        utilityShown = host.utilityShown;
        wakePorts = host.wakePorts;
        return host.events;
    }

    std::vector<fake::Call> markerWrites;
    std::string platform;
    std::vector<std::vector<unsigned long>> utilityShown;
    std::vector<platform::KernelHandle> wakePorts;
};

// The common start of every run: 131 at 3 s, 132 at 5 s.
void ExpectOpening(const std::vector<fake::Call>& events) {
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].what, "status " + Text(131));
    EXPECT_EQ(events[0].timeUs, 3'000'000);
    EXPECT_EQ(events[1].what, "status " + Text(132));
    EXPECT_EQ(events[1].timeUs, 5'000'000);
}

TEST_F(WorkerFixture, OutcomesWithoutFlashShowTheirTextThenArmTheExitTimerThenFinish) {
    struct Case {
        const char* version;
        unsigned status;
        std::int64_t finishUs;
    } cases[] = {
        {"K38KRPA24", 142, 12'000'000},
        {"k38krpa24", 142, 12'000'000},
        {"K38KRXY24", 142, 12'000'000},
        {"K38KRPA24.01", 142, 12'000'000},
        {"K38KRPA0024", 142, 12'000'000},
        {"K38KRPA2A", 141, 12'000'000},
        {"K38KRPA240", 141, 12'000'000},
        {"K38KRPAFFFFFFFF", 141, 12'000'000},
        {"K38KQPA24", 133, 10'000'000},
        {"K38K", 133, 10'000'000},
        {"", 133, 10'000'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        std::vector<fake::Call> events = Run(c.version);
        ExpectOpening(events);
        ASSERT_EQ(events.size(), 5u);
        EXPECT_EQ(events[2].what, "status " + Text(c.status));
        EXPECT_EQ(events[2].timeUs, 7'000'000);
        EXPECT_EQ(events[3].what, "exit timer");
        EXPECT_EQ(events[4].what, "finish");
        EXPECT_EQ(events[4].timeUs, c.finishUs);
        ASSERT_EQ(markerWrites.size(), 1u);
        EXPECT_EQ(markerWrites[0].timeUs, 7'000'000);  // before the outcome's text
        EXPECT_TRUE(os.processStarts.empty());
    }
}

TEST_F(WorkerFixture, PackageNewerFlashesAndWritesTheMarkerOnlyAfterTheUtilityEnded) {
    for (const char* version : {"K38KRPA23", "K38KRPA1F", "K38KRPA", "K38KR", "K38KRPAZZ"}) {
        SCOPED_TRACE(version);
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.processStarts.clear();
        std::vector<fake::Call> events = Run(version);
        ExpectOpening(events);
        ASSERT_EQ(events.size(), 5u);
        EXPECT_EQ(events[2].what, "status " + Text(135));
        EXPECT_EQ(events[2].timeUs, 7'000'000);
        EXPECT_EQ(events[3].what, "status " + Text(137));
        EXPECT_EQ(events[3].timeUs, 11'000'000);
        EXPECT_EQ(events[4].what, "finish");
        EXPECT_EQ(events[4].timeUs, 72'000'000);

        ASSERT_EQ(os.processStarts.size(), 1u);
        const fake::ProcessStart& start = os.processStarts[0];
        EXPECT_EQ(start.timeUs, 12'000'000);
        EXPECT_EQ(start.application, "C:\\Update\\Zarel_bios\\winflash.exe");
        EXPECT_EQ(start.commandLine,
                  "C:\\Update\\Zarel_bios\\winflash.exe C:\\Update\\Zarel_bios\\K38KRPA24 /NOWMSG");
        EXPECT_EQ(start.directory, "C:\\Update\\Zarel_bios");
        EXPECT_EQ(start.flags, 0x08000000u | 0x4u);  // no window, suspended
        ASSERT_EQ(markerWrites.size(), 1u);
        EXPECT_EQ(markerWrites[0].timeUs, 72'000'000);
        EXPECT_EQ(os.OpenKernelHandles(), 0);
        // In its job and holding the instance guard before it runs.
        EXPECT_EQ(os.CallsStartingWith("AssignProcessToJobObject")[0].timeUs, 12'000'000);
        auto steps = os.CallsStartingWith("");
        std::vector<std::string> order;
        for (const fake::Call& call : steps) {
            for (const char* step :
                 {"CreateJobObject", "CreateJobCompletionPort", "AssignProcessToJobObject",
                  "DuplicateInstanceMutexInto", "ResumeThread", "CloseHandle"}) {
                if (call.what.rfind(step, 0) == 0) order.push_back(call.what);
            }
        }
        EXPECT_EQ(
            order,
            (std::vector<std::string>{
                "CreateJobObject", "CreateJobCompletionPort", "AssignProcessToJobObject",
                "DuplicateInstanceMutexInto process", "ResumeThread", "CloseHandle thread",
                "CloseHandle process", "CloseHandle port", "CloseHandle job",
                // The package's files and folders, held until the
                // utility's job has ended.
                "CloseHandle file", "CloseHandle file", "CloseHandle file", "CloseHandle file",
                "CloseHandle folder", "CloseHandle folder", "CloseHandle folder"}));
        EXPECT_EQ(os.CountCalls("WaitForSingleObject"), 0);
    }
}

// The utility hands off to a helper and exits at once: the run waits for the
// helper, which holds the guard too, found by the port or by the job's list.
// An exception's exit code (0xC0000000 to 0xCFFFFFFF) of either ends the run
// with 147 5 s later, recording nothing; other codes are not examined.
TEST_F(WorkerFixture, AHandOffIsWaitedForAndTheHelperHoldsTheGuard) {
    os.processRunUs = 100'000;
    os.helperRunUs = 10'000'000;
    const struct {
        bool lost, crashed;
        unsigned long utilityCode, helperCode;
    } cases[] = {{false, false, 0, 0},         {true, false, 0, 0},
                 {false, true, 0xC0000005, 0}, {true, true, 0, 0xC0000409},
                 {false, false, 5, 1},         {false, false, 0xD0000000, 0xBFFFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lost << " " << c.utilityCode << " " << c.helperCode);
        os.jobMessagesLost = c.lost;
        os.processExitCode = c.utilityCode;
        os.helperExitCode = c.helperCode;
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        std::vector<fake::Call> events = Run("K38KRPA23");
        ASSERT_EQ(events.back().what, "finish");
        // Its end is seen at once from the port, or by the next count.
        EXPECT_GE(events.back().timeUs, c.crashed ? 27'000'000 : 22'000'000);
        EXPECT_LE(events.back().timeUs,
                  (c.crashed ? 27'000'000 : 22'000'000) + (c.lost ? kJobPollUs : 0));
        EXPECT_EQ(events[events.size() - 3].what == "status " + Text(147), c.crashed);
        EXPECT_EQ(markerWrites.size(), c.crashed ? 0u : 1u);
        EXPECT_EQ(os.CountCalls("DuplicateInstanceMutexInto helper"), 1);
        // The helper's id is watched, once, for as long as it is shown.
        EXPECT_EQ(os.CountCalls("OpenProcessToWatch"), 1);
        EXPECT_EQ(os.OpenKernelHandles(), 0);
        // The dialog learns of the helper, whose windows it must show, and
        // of the end.
        ASSERT_GE(utilityShown.size(), 3u);
        EXPECT_EQ(utilityShown.front().size(), 1u);
        EXPECT_NE(utilityShown[utilityShown.size() - 2], utilityShown.front());
        EXPECT_TRUE(utilityShown.back().empty());
    }
}

// Whatever step of the job fails, the utility runs, once, every handle is
// closed, and the wait covers what the job still can. A job refused because
// this program runs in one takes a second start of the utility (breakaway
// where allowed), with SEM_NOGPFAULTERRORBOX added to the error mode it
// inherits, as without a job; the first never ran. A utility that cannot be
// resumed is ended unrun and not waited for (146).
TEST_F(WorkerFixture, EachFailedJobStepStillRunsTheUtilityAtMostOnceAndClosesEverything) {
    os.processRunUs = 1'000'000;
    os.helperRunUs = 5'000'000;
    struct Case {
        const char* failure;
        bool breakawayAllowed;
        bool plainWait;      // the wait on the one process
        std::int64_t endUs;  // when the worker finishes
        std::size_t starts;
        std::size_t ended;  // terminated unrun
    } cases[] = {
        {"job", false, true, 13'000'000, 1, 0},        {"assign", false, true, 13'000'000, 2, 1},
        {"assign", true, false, 17'000'000, 2, 1},     {"port", false, false, 17'000'000, 1, 0},
        {"duplicate", false, false, 17'000'000, 1, 0}, {"count", false, true, 13'000'000, 1, 0},
        {"ids", false, false, 17'000'000, 1, 0},       {"resume", false, false, 17'000'000, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.failure << (c.breakawayAllowed ? ", breakaway" : ""));
        os.jobFailures = {c.failure};
        os.resumeFails = std::string(c.failure) == "resume";
        os.ownJobAllowsBreakaway = c.breakawayAllowed;
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.processStarts.clear();
        os.terminated.clear();
        os.resumes = 0;
        os.addedErrorMode = 0x8001;
        std::vector<fake::Call> events = Run("K38KRPA23");
        EXPECT_EQ(os.resumes, 1);
        const bool quiet = c.starts == 2 || std::string(c.failure) == "job";
        EXPECT_EQ(os.processStarts.back().errorMode, quiet ? 0x8003u : 0x8001u);
        EXPECT_EQ(os.addedErrorMode, 0x8001u);
        EXPECT_EQ(os.OpenKernelHandles(), 0);
        EXPECT_EQ(os.CountCalls("WaitForSingleObject") > 0, c.plainWait);
        EXPECT_EQ(os.CountCalls(Trace("WaitForSingleObject", win::INFINITE)), 0);
        ASSERT_EQ(os.processStarts.size(), c.starts);
        EXPECT_EQ(os.processStarts.back().flags & win::CREATE_BREAKAWAY_FROM_JOB,
                  c.breakawayAllowed ? win::CREATE_BREAKAWAY_FROM_JOB : 0);
        EXPECT_EQ(os.terminated.size(), c.ended);
        ASSERT_EQ(events.back().what, "finish");
        EXPECT_GE(events.back().timeUs, c.endUs);
        EXPECT_LE(events.back().timeUs, c.endUs + (c.plainWait ? 0 : kJobPollUs));
        EXPECT_EQ(markerWrites.size(), os.resumeFails ? 0u : 1u);  // it never ran
        EXPECT_EQ(events[events.size() - 3].what == "status " + Text(146), os.resumeFails);
        // The dialog is told of the utility while it runs, and of its end.
        EXPECT_EQ(utilityShown.empty(), os.resumeFails);
        if (!utilityShown.empty()) {
            EXPECT_TRUE(utilityShown.back().empty());
        }
    }
}

// The utility runs from 12 s to 72 s. Every wait for it reads the power
// status at least once a second: a read that says mains power is off shows
// 145 in place of 137, one that says it is on again shows 137; nothing else
// of the run changes. Off right before the start, it holds the start until a
// read says otherwise, up to 60 s; then 149, and nothing is recorded.
TEST_F(WorkerFixture, PowerReadsDuringTheFlashWarnAndRestoreTheStatusAndChangeNothingElse) {
    const platform::PowerStatus off{0, 80}, on{1, 79}, unknown{255, 80};
    const std::optional<platform::PowerStatus> unreadable;
    const std::vector<std::pair<std::int64_t, unsigned>> warnedAndBack = {{21'000'000, 145},
                                                                          {31'000'000, 137}};
    struct Case {
        std::map<std::int64_t, std::optional<platform::PowerStatus>> power;
        std::string failure;  // a job step that fails, or "text": no string 145
        std::vector<std::pair<std::int64_t, unsigned>> statuses;  // after 137
        std::int64_t startUs = 12'000'000;                        // 0: never started
    } cases[] = {
        {{{20'500'000, off}, {30'500'000, on}}, "", warnedAndBack},
        {{{11'000'000, off}, {30'500'000, on}},
         "",
         {{12'000'000, 145}, {31'000'000, 137}},
         31'000'000},
        {{{11'000'000, off}, {30'500'000, unknown}},
         "job",
         {{12'000'000, 145}, {31'000'000, 137}},
         31'000'000},
        {{{11'000'000, off}}, "", {{12'000'000, 145}, {72'000'000, 149}}, 0},
        {{{11'000'000, unreadable}}, "", {}},
        {{{20'500'000, unreadable}, {30'500'000, unknown}}, "", {}},
        {{{20'500'000, off}, {30'500'000, unreadable}, {40'500'000, unknown}, {50'500'000, on}},
         "",
         {{21'000'000, 145}, {51'000'000, 137}}},
        {{{20'500'000, off}, {30'500'000, on}}, "port", warnedAndBack},
        {{{20'500'000, off}, {30'500'000, on}}, "job", warnedAndBack},
        {{{20'500'000, off}, {30'500'000, on}}, "text", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.power.size() << " changes, failure " << c.failure);
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.processStarts.clear();
        os.powerFrom = c.power;
        os.jobFailures = {c.failure};
        os.missingStrings = {};
        if (c.failure == "text") os.missingStrings = {145};
        std::vector<fake::Call> events = Run("K38KRPA23");
        const std::size_t unrun = c.startUs ? 0 : 1;  // "nothing done" before 149
        ASSERT_EQ(events.size(), 5 + 2 * unrun + c.statuses.size());
        EXPECT_EQ(events[3].what, "status " + Text(137));
        for (std::size_t i = 0; i < c.statuses.size(); ++i) {
            EXPECT_EQ(events[4 + i + i * unrun].what, "status " + Text(c.statuses[i].second));
            EXPECT_EQ(events[4 + i + i * unrun].timeUs, c.statuses[i].first);
        }
        EXPECT_EQ(events.back().what, "finish");
        EXPECT_EQ(events.back().timeUs, c.startUs ? c.startUs + 60'000'000 : 77'000'000);
        ASSERT_EQ(os.processStarts.size(), 1 - unrun);
        ASSERT_EQ(markerWrites.size(), 1 - unrun);
        EXPECT_TRUE(markerWrites.empty() || markerWrites[0].timeUs == c.startUs + 60'000'000);
        EXPECT_EQ(os.OpenKernelHandles(), 0);
        // The dialog may wake the wait on its port only while the port is open.
        ASSERT_EQ(wakePorts.size(), c.failure == "job" || c.failure == "port" ? 0u : 2u);
        if (!wakePorts.empty()) {
            EXPECT_EQ(wakePorts.back(), nullptr);
        }
    }
}

TEST_F(WorkerFixture, PlatformCodeIsKeptUpperCased) {
    Run("k38krpa23");
    EXPECT_EQ(platform, "K38KR");
}

// A package that is not the one built for (here: the image changed, or the
// utility missing) ends the run as the outcomes without a flash do, timing
// included, but with nothing recorded as done and nothing started.
TEST_F(WorkerFixture, AChangedOrIncompletePackageIsRefusedWithNothingRecordedAsDone) {
    for (const char* image : {"changed", "missing"}) {
        SCOPED_TRACE(image);
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.AddFile("C:\\Update\\Zarel_bios\\K38KRPA24", "changed");
        if (std::string(image) == "missing") {
            os.AddPackage();
            *os.trustedFiles += std::string(64, '0') + " 1 winflash.ini\n";
        }
        std::vector<fake::Call> events = Run("K38KRPA23");
        ASSERT_EQ(events.size(), 7u);
        EXPECT_EQ(events[3].what, "nothing done");
        EXPECT_EQ(events[4].what, "status " + Text(144));
        EXPECT_EQ(events[4].timeUs, 11'000'000);
        EXPECT_EQ(events[5].what, "exit timer");
        EXPECT_EQ(events[6].what, "finish");
        EXPECT_EQ(events[6].timeUs, 16'000'000);
        EXPECT_TRUE(markerWrites.empty());
        EXPECT_TRUE(os.processStarts.empty());
        EXPECT_EQ(os.OpenKernelHandles(), 0);
    }
}

// A utility that never ran, because it cannot start (146 after 137), or the
// folder cannot be used (148 in place of 137: too long, or of no root), ends
// the run as a refusal does, with nothing recorded as done.
TEST_F(WorkerFixture, AUtilityThatNeverRanRecordsNothingAsDone) {
    for (const char* why :
         {"start fails", "no executable path", "work folder too long", "no root"}) {
        SCOPED_TRACE(why);
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.processStarts.clear();
        os.processStartFails = std::string(why) == "start fails";
        os.modulePath = std::string("C:\\Update\\BIOSUpdate.exe");
        if (std::string(why) == "no executable path") os.modulePath = std::nullopt;
        if (std::string(why) == "work folder too long") {
            // A work folder of 250 characters.
            os.modulePath = "C:\\" + std::string(236, 'x') + "\\setup.exe";
        }
        if (std::string(why) == "no root") os.modulePath = "Update\\BIOSUpdate.exe";
        std::vector<fake::Call> events = Run("K38KRPA23");
        const std::size_t said = os.processStartFails ? 5 : 4;
        ASSERT_EQ(events.size(), said + 3);
        EXPECT_EQ(events[said - 1].what, "nothing done");
        EXPECT_EQ(events[said].what, "status " + Text(os.processStartFails ? 146 : 148));
        EXPECT_EQ(events[said].timeUs, os.processStartFails ? 12'000'000 : 11'000'000);
        EXPECT_EQ(events.back().timeUs, events[said].timeUs + 5'000'000);
        EXPECT_TRUE(markerWrites.empty());
        EXPECT_EQ(os.processStarts.size(), os.processStartFails ? 1u : 0u);
        EXPECT_EQ(os.OpenKernelHandles(), 0);
        EXPECT_EQ(os.CountCalls("DuplicateInstanceMutexInto"), 0);
    }
}

// A DLL planted while the utility waits, suspended, to be resumed: it is
// ended unrun and the run ends as a refusal.
TEST_F(WorkerFixture, APlantBeforeTheResumeEndsTheUtilityUnrun) {
    os.plantedOnStart = "C:\\Update\\Zarel_bios\\version.dll";
    std::vector<fake::Call> events = Run("K38KRPA23");
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[3].what, "status " + Text(137));
    EXPECT_EQ(events[4].what, "nothing done");
    EXPECT_EQ(events[5].what, "status " + Text(144));
    EXPECT_EQ(events[5].timeUs, 12'000'000);
    EXPECT_EQ(events[7].what, "finish");
    EXPECT_EQ(events[7].timeUs, 17'000'000);
    EXPECT_EQ(os.resumes, 0);
    EXPECT_EQ(os.terminated.size(), 1u);
    EXPECT_TRUE(markerWrites.empty());
    EXPECT_EQ(os.OpenKernelHandles(), 0);
}

// Right before the resume, BitLocker on C: is suspended for one restart. Once
// protection is seen on, only a suspension seen to hold lets the utility run;
// else it is ended unrun, 150 shows, nothing is recorded.
TEST_F(WorkerFixture, BitLockerIsSuspendedForOneRestartOrTheUtilityNeverRuns) {
    struct Case {
        const char* what;
        std::vector<std::int32_t> statuses;  // GetProtectionStatus's answers
        std::int32_t disableReturn;
        int disables;  // DisableKeyProtectors calls made
        bool runs;
    } cases[] = {
        {"no namespace", {}, 0, 0, true},
        {"status 0", {0}, 0, 0, true},
        {"status 2", {2}, 0, 0, true},
        {"status unreadable", {}, 0, 0, true},
        {"status 1, suspended", {1, 0}, 0, 1, true},
        {"status 1, the call fails", {1, 0}, 2, 1, false},
        {"status 1, still on", {1, 1}, 0, 1, false},
        {"status 1, no DisableCount", {1, 0}, 0, 0, false},
        {"no answer in time", {1, 0}, 0, 0, true},  // the thread never runs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool late = std::string(c.what) == "no answer in time";
        os.AdvanceUs(-os.NowUs());
        os.calls.clear();
        os.terminated.clear();
        os.resumes = 0;
        os.bitLocker = std::string(c.what) != "no namespace";
        os.protectionStatuses = c.statuses;
        os.disableCountTaken = std::string(c.what) != "status 1, no DisableCount";
        os.disableReturnValue = c.disableReturn;
        os.threadMode = late ? fake::ThreadMode::Deferred : fake::ThreadMode::Inline;
        std::vector<fake::Call> events = Run("K38KRPA23");
        os.RunPendingThreads();  // given up on, it asks nothing more
        ASSERT_EQ(events.size(), c.runs ? 5u : 8u);
        if (c.runs) {
            EXPECT_EQ(events[4].timeUs, (late ? 42'000'000 : 12'000'000) + 60'000'000);
        } else {
            EXPECT_EQ(events[4].what, "nothing done");
            EXPECT_EQ(events[5].what, "status " + Text(150));
            EXPECT_EQ(events[5].timeUs, 12'000'000);
            EXPECT_EQ(events[6].what, "exit timer");
            EXPECT_EQ(events[7].timeUs, 17'000'000);
        }
        EXPECT_EQ(markerWrites.size(), c.runs ? 1u : 0u);
        EXPECT_EQ(os.resumes, c.runs ? 1 : 0);
        EXPECT_EQ(os.terminated.size(), c.runs ? 0u : 1u);
        EXPECT_EQ(os.CountCalls("ExecMethod DisableKeyProtectors DisableCount=1"), c.disables);
        EXPECT_EQ(os.CountCalls("ConnectServer"), late ? 0 : 1);
        EXPECT_EQ(os.CountCalls("CoUninitialize"), 1);
        EXPECT_EQ(os.LiveComObjects() + os.LiveBstrs() + os.OpenKernelHandles(), 0);
    }
}

TEST_F(WorkerFixture, AMissingStringShowsThePreviousTextAgain) {
    os.missingStrings = {131, 142};
    std::vector<fake::Call> events = Run("K38KRPA24");
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].what, "status ");  // nothing loaded yet: an empty line
    EXPECT_EQ(events[1].what, "status " + Text(132));
    EXPECT_EQ(events[2].what, "status " + Text(132));
}

TEST_F(WorkerFixture, TheMarkerIsWrittenEvenWhenItCannotBeAndTheRunGoesOn) {
    os.deniedKeys.insert(".default\\software\\vireo\\biosupdate\\parameters");
    std::vector<fake::Call> events = Run("K38KRPA24");
    EXPECT_EQ(events.back().what, "finish");
    EXPECT_EQ(os.OpenKeys(), 0);
}

TEST_F(WorkerFixture, KoreanUsersSeeKoreanStatusTexts) {
    os.uiLanguage = UiLanguage::Korean;
    std::vector<fake::Call> events = Run("K38KQ");
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[2].what, std::string("status ") + FindString(133, UiLanguage::Korean));
}

}  // namespace
