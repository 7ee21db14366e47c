// Starting the stand-in flash utility the way the update does, and waiting
// for it: its log shows what it was given.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

using platform_test::Milliseconds;

// A work folder holding winflash.exe and its settings.
class FlashLaunchTest : public ::testing::Test {
protected:
    // Makes <scratch>\<parent>\Zarel_bios with the utility in it.
    void MakeWorkFolder(const std::string& parent, const std::string& settings) {
        scratch_ = std::make_unique<platform_test::ScratchFolder>("launch");
        work_ = scratch_->Path() + "\\" + parent + "\\Zarel_bios";
        ASSERT_TRUE(platform_test::CreateFolders(work_));
        const std::string source = platform_test::ProgramDirectory() + "\\winflash.exe";
        ASSERT_TRUE(::CopyFileA(source.c_str(), Tool().c_str(), FALSE)) << source;
        ASSERT_TRUE(platform_test::WriteTextFile(work_ + "\\winflash.ini", settings));
    }

    std::string Tool() const { return work_ + "\\winflash.exe"; }
    std::string Image() const { return work_ + "\\K38KRPA24"; }
    std::string Log() const { return platform_test::ReadTextFile(work_ + "\\winflash.log"); }

    // Starts the utility, waits for its end; returns its exit code.
    DWORD RunAndWait(std::string commandLine, unsigned long long& elapsed) {
        ProcessInfo child;
        unsigned long long start = Milliseconds();
        bool started = os_.CreateProcessA(Tool(), commandLine, CREATE_NO_WINDOW, work_, child);
        EXPECT_TRUE(started);
        if (!started) return 0xFFFFFFFF;
        EXPECT_EQ(os_.WaitForSingleObject(child.process, INFINITE), WAIT_OBJECT_0);
        elapsed = Milliseconds() - start;
        DWORD exitCode = 0xFFFFFFFF;
        ::GetExitCodeProcess(reinterpret_cast<HANDLE>(child.process), &exitCode);
        os_.CloseHandle(child.thread);
        os_.CloseHandle(child.process);
        return exitCode;
    }

    Win32Platform os_;
    std::unique_ptr<platform_test::ScratchFolder> scratch_;
    std::string work_;
};

TEST_F(FlashLaunchTest, FolderWithBlanksKeepsItsQuotedArgumentsWhole) {
    MakeWorkFolder("My Tools", "seconds=3\r\n");
    ASSERT_NE(work_.find(' '), std::string::npos);
    const std::string commandLine = "\"" + Tool() + "\" \"" + Image() + "\" /NOWMSG";

    unsigned long long elapsed = 0;
    EXPECT_EQ(RunAndWait(commandLine, elapsed), 0u);

    // The wait lasted as long as the utility ran.
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 20000u);
    const std::string log = Log();
    EXPECT_NE(log.find("\r\ncommand_line=" + commandLine + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nworking_directory=" + work_ + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nend="), std::string::npos) << log;
}

TEST_F(FlashLaunchTest, FolderWithoutBlanksGetsThePlainCommandLine) {
    MakeWorkFolder("Update", "seconds=0\r\n");
    ASSERT_EQ(work_.find(' '), std::string::npos) << "the temporary folder has a blank";
    const std::string commandLine = Tool() + " " + Image() + " /NOWMSG";

    unsigned long long elapsed = 0;
    EXPECT_EQ(RunAndWait(commandLine, elapsed), 0u);

    const std::string log = Log();
    EXPECT_NE(log.find("\r\ncommand_line=" + commandLine + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nworking_directory=" + work_ + "\r\n"), std::string::npos) << log;
}

TEST_F(FlashLaunchTest, MissingUtilityFailsAtOnce) {
    MakeWorkFolder("Update", "seconds=0\r\n");
    ASSERT_TRUE(::DeleteFileA(Tool().c_str()));
    std::string commandLine = Tool() + " " + Image() + " /NOWMSG";

    ProcessInfo child;
    child.process = reinterpret_cast<KernelHandle>(1);
    unsigned long long start = Milliseconds();
    EXPECT_FALSE(os_.CreateProcessA(Tool(), commandLine, CREATE_NO_WINDOW, work_, child));
    EXPECT_LT(Milliseconds() - start, 2000u);
    EXPECT_EQ(child.process, nullptr);
    EXPECT_EQ(child.thread, nullptr);
    EXPECT_FALSE(platform_test::PathExists(work_ + "\\winflash.log"));
}

TEST_F(FlashLaunchTest, OverlongWorkingFolderIsRefusedAtOnce) {
    MakeWorkFolder("Update", "seconds=0\r\n");
    const std::string folder = work_ + "\\" + std::string(MAX_PATH, 'd');
    std::string commandLine = Tool() + " " + Image() + " /NOWMSG";
    ProcessInfo child;
    EXPECT_FALSE(os_.CreateProcessA(Tool(), commandLine, CREATE_NO_WINDOW, folder, child));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(child.process, nullptr);
    EXPECT_FALSE(platform_test::PathExists(work_ + "\\winflash.log"));
}

TEST_F(FlashLaunchTest, ApplicationNameDecidesWhatRuns) {
    // The command line's first token names another program: it is not run.
    MakeWorkFolder("Update", "seconds=0\r\n");
    const std::string commandLine = "C:\\windows\\system32\\cmd.exe /c exit 9";

    unsigned long long elapsed = 0;
    EXPECT_EQ(RunAndWait(commandLine, elapsed), 0u);
    EXPECT_NE(Log().find("\r\ncommand_line=" + commandLine + "\r\n"), std::string::npos);
}

TEST_F(FlashLaunchTest, UtilityExitCodeAndCrashEndTheWait) {
    MakeWorkFolder("Update", "exit_code=7\r\nseconds=0\r\n");
    unsigned long long elapsed = 0;
    EXPECT_EQ(RunAndWait(Tool(), elapsed), 7u);

    ASSERT_TRUE(platform_test::WriteTextFile(work_ + "\\winflash.ini", "crash=1\nseconds=0.2\n"));
    EXPECT_EQ(RunAndWait(Tool(), elapsed), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_NE(Log().find("\r\ncrash="), std::string::npos);
}

// The job ends a process on an unhandled exception and lists the utility and
// the helper it hands off to while they run; a suspended utility that is
// ended never runs.
TEST_F(FlashLaunchTest, AJobListsTheUtilityAndItsHelperWhileTheyRun) {
    MakeWorkFolder("Update", "handoff=1\r\nseconds=1.5\r\n");
    EXPECT_FALSE(os_.OwnJobAllowsBreakaway());
    KernelHandle job = os_.CreateJobObject();
    ASSERT_NE(job, nullptr);
    // Read back where the system reports limits: Wine reports none, not even
    // those of the control job, given one here.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits[2] = {};
    limits[1].BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    HANDLE control = ::CreateJobObjectA(nullptr, nullptr);
    ::SetInformationJobObject(control, JobObjectExtendedLimitInformation, &limits[1],
                              sizeof(limits[1]));
    for (HANDLE each : {reinterpret_cast<HANDLE>(job), control}) {
        ::QueryInformationJobObject(each, JobObjectExtendedLimitInformation,
                                    &limits[each == control], sizeof(limits[0]), nullptr);
    }
    if (limits[1].BasicLimitInformation.LimitFlags != 0) {
        EXPECT_EQ(limits[0].BasicLimitInformation.LimitFlags,
                  static_cast<DWORD>(JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION));
    }
    ::CloseHandle(control);
    ProcessInfo child;
    std::string commandLine = Tool();
    ASSERT_TRUE(
        os_.CreateProcessA(Tool(), commandLine, CREATE_NO_WINDOW | CREATE_SUSPENDED, work_, child));
    ASSERT_TRUE(os_.AssignProcessToJobObject(job, child.process));
    std::vector<unsigned long> ids;
    ASSERT_TRUE(os_.GetJobProcessIds(job, ids));
    EXPECT_EQ(ids, std::vector<unsigned long>{child.processId});
    ASSERT_NE(os_.ResumeThread(child.thread), static_cast<unsigned long>(-1));
    bool helperListed = false;
    for (unsigned long long start = Milliseconds(); Milliseconds() - start < 5000;) {
        ASSERT_TRUE(os_.GetJobProcessIds(job, ids));
        if (ids.empty()) break;
        for (unsigned long id : ids) helperListed = helperListed || id != child.processId;
        ::Sleep(50);
    }
    EXPECT_TRUE(helperListed);
    EXPECT_TRUE(ids.empty());
    os_.CloseHandle(child.thread);
    os_.CloseHandle(child.process);

    const std::string before = Log();
    commandLine = Tool();
    ASSERT_TRUE(
        os_.CreateProcessA(Tool(), commandLine, CREATE_NO_WINDOW | CREATE_SUSPENDED, work_, child));
    EXPECT_TRUE(os_.TerminateProcess(child.process, 1));
    EXPECT_EQ(os_.WaitForSingleObject(child.process, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(Log(), before);
    os_.CloseHandle(child.thread);
    os_.CloseHandle(child.process);
    os_.CloseHandle(job);
}

}  // namespace
}  // namespace platform
