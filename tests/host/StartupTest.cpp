#include <string>

#include "app/BiosUpdateApp.h"
#include "app/Markers.h"
#include "app/StartupGuards.h"
#include "platform/Win32Constants.h"
#include "platform/framework/CWinApp.h"
#include "res/StringTable.h"
#include "tests/host/FakeFixture.h"

namespace {

TEST(CommandLine, CutsTheProgramNameAndTheBlanksAfterIt) {
    EXPECT_EQ(framework::CutCommandLine("BIOSUpdate.exe 1"), "1");
    EXPECT_EQ(framework::CutCommandLine("\"C:\\My Tools\\BIOSUpdate.exe\" 1"), "1");
    EXPECT_EQ(framework::CutCommandLine("\"C:\\My Tools\\BIOSUpdate.exe\"\t \t1 2"), "1 2");
    EXPECT_EQ(framework::CutCommandLine("BIOSUpdate.exe"), "");
    EXPECT_EQ(framework::CutCommandLine(""), "");
    EXPECT_EQ(framework::CutCommandLine("C:\\a\"b c\"d.exe  x"), "x");
}

TEST(CommandLine, OnlyTheNumberOneSelectsCleanUp) {
    for (const char* text : {"1", "+1", "01", "1abc", "1 2", "  1", "\t1", "001"}) {
        EXPECT_TRUE(app::IsCleanupRequest(text)) << '"' << text << '"';
    }
    for (const char* text :
         {"", "0", "2", "-1", "/1", "abc", "11", "10", "+", "- 1", "+-1", "4294967297", "x1"}) {
        EXPECT_FALSE(app::IsCleanupRequest(text)) << '"' << text << '"';
    }
}

TEST(CommandLine, AppNameIsTheExecutableNameWithoutExtension) {
    EXPECT_EQ(framework::AppNameFromPath("C:\\Update\\BIOSUpdate.exe"), "BIOSUpdate");
    EXPECT_EQ(framework::AppNameFromPath("C:\\a.b\\tool"), "tool");
}

TEST(PowerGate, MainsOfflineRefusesWhateverTheCharge) {
    for (int charge : {0, 50, 100, 255}) {
        platform::PowerStatus status{0, static_cast<std::uint8_t>(charge)};
        EXPECT_EQ(app::CheckPower(true, status), app::PowerVerdict::NoMains);
    }
}

TEST(PowerGate, ChargeMustLieWithinTwentyToHundred) {
    auto verdict = [](int ac, int charge) {
        return app::CheckPower(true, platform::PowerStatus{static_cast<std::uint8_t>(ac),
                                                           static_cast<std::uint8_t>(charge)});
    };
    EXPECT_EQ(verdict(1, 19), app::PowerVerdict::LowBattery);
    EXPECT_EQ(verdict(1, 20), app::PowerVerdict::Allowed);
    EXPECT_EQ(verdict(1, 100), app::PowerVerdict::Allowed);
    EXPECT_EQ(verdict(1, 101), app::PowerVerdict::LowBattery);
    EXPECT_EQ(verdict(1, 255), app::PowerVerdict::LowBattery);
    EXPECT_EQ(verdict(255, 50), app::PowerVerdict::Allowed);
    EXPECT_EQ(verdict(255, 255), app::PowerVerdict::LowBattery);
}

TEST(PowerGate, UnreadableStatusRefusesLikeAMissingChargeFigure) {
    EXPECT_EQ(app::CheckPower(false, platform::PowerStatus{1, 80}), app::PowerVerdict::LowBattery);
}

TEST(PlatformDeathTest, UsingThePlatformBeforeItIsInstalledStopsAtOnce) {
    platform::InstallPlatform(nullptr);
    EXPECT_DEATH(platform::Os(), "before a platform was installed");
}

class StartupFixture : public FakeFixture {
protected:
    void SetUp() override {
        FakeFixture::SetUp();
        os.AddDirectory("C:\\Update\\Zarel_bios");
        os.SetRegistryValue(platform::RegistryRoot::LocalMachine, app::kRunKey, "BIOSUpdate",
                            {win::REG_SZ, "C:\\Update\\BIOSUpdate.exe 1"});
        os.messageBoxAnswers = {win::IDNO};  // decline if the dialog is reached
    }

    // Runs the program as the entry does and checks its exit code.
    void Run(const std::string& arguments) {
        os.commandLine = "\"C:\\Update\\BIOSUpdate.exe\" " + arguments;
        CBiosUpdateApp application;
        EXPECT_EQ(framework::RunApplication(), 0);
    }

    bool RunEntryPresent() {
        return os.FindRegistryValue(platform::RegistryRoot::LocalMachine, app::kRunKey,
                                    "BIOSUpdate") != nullptr;
    }
};

TEST_F(StartupFixture, SecondInstanceEndsSilentlyAndTouchesNothing) {
    os.existingMutexes.insert(app::kInstanceMutexName);
    Run("1");
    EXPECT_TRUE(os.messageBoxes.empty());
    EXPECT_TRUE(RunEntryPresent());
    EXPECT_TRUE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
    EXPECT_EQ(os.CountCalls("GetSystemPowerStatus"), 0);
}

TEST_F(StartupFixture, CleanUpModeDeletesTheRunEntryThenTheEmptyWorkFolder) {
    os.SetRegistryValue(platform::RegistryRoot::LocalMachine, app::kRunKey, "Other", {1, "x"});
    Run("1");
    EXPECT_FALSE(RunEntryPresent());
    EXPECT_NE(os.FindRegistryValue(platform::RegistryRoot::LocalMachine, app::kRunKey, "Other"),
              nullptr);
    EXPECT_FALSE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
    EXPECT_TRUE(os.messageBoxes.empty());
    EXPECT_EQ(os.CountCalls("GetSystemPowerStatus"), 0);
    auto deleted = os.CallsStartingWith("SHDeleteValue");
    auto removed = os.CallsStartingWith("RemoveDirectory");
    ASSERT_EQ(deleted.size(), 1u);
    ASSERT_EQ(removed.size(), 1u);
}

TEST_F(StartupFixture, FailedMutexCreationStillRuns) {
    os.mutexFails = true;
    Run("1");
    EXPECT_FALSE(RunEntryPresent());
}

TEST_F(StartupFixture, PowerRefusalsRemoveTheWorkFolderAndSayWhyInTheUsersLanguage) {
    struct Case {
        platform::PowerStatus power;
        bool readable;
        UiLanguage language;
        unsigned message;
    } cases[] = {
        {{0, 80}, true, UiLanguage::English, 140},  {{0, 255}, true, UiLanguage::Korean, 140},
        {{1, 19}, true, UiLanguage::English, 136},  {{1, 255}, true, UiLanguage::Korean, 136},
        {{1, 101}, true, UiLanguage::English, 136}, {{1, 80}, false, UiLanguage::English, 136},
    };
    for (const Case& c : cases) {
        os.messageBoxes.clear();
        os.AddDirectory("C:\\Update\\Zarel_bios");
        os.power = c.power;
        os.powerReadable = c.readable;
        os.uiLanguage = c.language;
        os.existingMutexes.clear();
        Run("");
        ASSERT_EQ(os.messageBoxes.size(), 1u);
        EXPECT_EQ(os.messageBoxes[0].text, FindString(c.message, c.language));
        EXPECT_EQ(os.messageBoxes[0].caption, "BIOS Update");
        EXPECT_EQ(os.messageBoxes[0].type, win::MB_OK);
        EXPECT_EQ(os.messageBoxes[0].owner, nullptr);
        EXPECT_FALSE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
        EXPECT_EQ(os.coInitializeCalls, 0);
    }
    EXPECT_TRUE(RunEntryPresent());
}

TEST_F(StartupFixture, MissingRefusalTextShowsAnEmptyBox) {
    os.power = {0, 80};
    os.missingStrings = {140};
    Run("");
    ASSERT_EQ(os.messageBoxes.size(), 1u);
    EXPECT_EQ(os.messageBoxes[0].text, "");
}

TEST_F(StartupFixture, SecurityFailureSaysSoInTheSystemLocaleAndKeepsTheWorkFolder) {
    os.securityResult = static_cast<platform::Hresult>(0x80010119);
    for (unsigned long locale : {1042ul, 1033ul}) {
        os.messageBoxes.clear();
        os.existingMutexes.clear();
        os.systemLocale = locale;
        Run("");
        ASSERT_EQ(os.messageBoxes.size(), 1u);
        EXPECT_EQ(os.messageBoxes[0].text,
                  locale == 1042 ? "\xB1\xC7\xC7\xD1 \xBC\xB3\xC1\xA4 \xBD\xC7\xC6\xD0"
                                 : "The fail of authority Setting");
        EXPECT_EQ(os.messageBoxes[0].caption, "BIOSUpdate");
        EXPECT_EQ(os.messageBoxes[0].type, win::MB_OK | win::MB_ICONEXCLAMATION);
        EXPECT_TRUE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
    }
    EXPECT_EQ(os.CountCalls("RunModalDialog"), 0);
}

TEST_F(StartupFixture, GuardsRunInOrderThenTheDialog) {
    Run("0");
    std::vector<std::string> order;
    for (const fake::Call& call : os.calls) {
        for (const char* step : {"InitCommonControls", "CreateMutex", "GetSystemPowerStatus",
                                 "CoInitialize", "CoInitializeSecurity", "RunModalDialog"}) {
            if (call.what.rfind(step, 0) == 0 && call.what.find(' ') == std::string(step).size()) {
                order.push_back(step);
            } else if (call.what == step) {
                order.push_back(step);
            }
        }
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"InitCommonControls", "CreateMutex", "GetSystemPowerStatus",
                                        "CoInitialize", "CoInitializeSecurity", "RunModalDialog"}));
    EXPECT_EQ(os.addedErrorMode, 0x8001u);
    EXPECT_EQ(os.calls.front().what, "RestrictDllSearchPath");
    EXPECT_EQ(os.messageBoxes.size(), 1u);  // the confirmation, declined
}

}  // namespace
