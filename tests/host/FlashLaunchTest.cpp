#include <gtest/gtest.h>

#include "update/FlashCommand.h"

namespace {

TEST(FlashLaunch, WithoutBlanksTheCommandLineIsThePlainFormat) {
    auto launch = update::BuildFlashLaunch("C:\\Update\\setup.exe");
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->commandLine,
              "C:\\Update\\Zarel_bios\\winflash.exe C:\\Update\\Zarel_bios\\K38KRPA24 /NOWMSG");
    EXPECT_EQ(launch->application, "C:\\Update\\Zarel_bios\\winflash.exe");
    EXPECT_EQ(launch->directory, "C:\\Update\\Zarel_bios");

    auto root = update::BuildFlashLaunch("C:\\setup.exe");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->commandLine, "C:\\Zarel_bios\\winflash.exe C:\\Zarel_bios\\K38KRPA24 /NOWMSG");
}

TEST(FlashLaunch, PathsWithBlanksAreQuotedAndTheProgramIsNamedExplicitly) {
    auto launch = update::BuildFlashLaunch("C:\\My Tools\\setup.exe");
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->commandLine,
              "\"C:\\My Tools\\Zarel_bios\\winflash.exe\" \"C:\\My Tools\\Zarel_bios\\K38KRPA24\" "
              "/NOWMSG");
    EXPECT_EQ(launch->application, "C:\\My Tools\\Zarel_bios\\winflash.exe");
}

TEST(FlashLaunch, LongFoldersAreNeverCut) {
    const std::string folder = "C:\\" + std::string(240, 'x');
    auto launch = update::BuildFlashLaunch(folder + "\\setup.exe");
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->commandLine,
              folder + "\\Zarel_bios\\winflash.exe " + folder + "\\Zarel_bios\\K38KRPA24 /NOWMSG");
    // No process starts in a work folder without room for a trailing
    // backslash within 260 bytes, nor from a program path that does not fit
    // them (a work folder of 247 characters or more).
    for (std::size_t length : {246, 247, 258, 259}) {
        launch->directory.resize(length);
        launch->application = launch->directory + "\\winflash.exe";
        EXPECT_EQ(update::CanStartIn(*launch), length == 246) << length;
    }
}

TEST(FlashLaunch, APathWithoutAFolderStartsNothing) {
    EXPECT_FALSE(update::BuildFlashLaunch("setup.exe"));
    EXPECT_FALSE(update::BuildFlashLaunch(""));
}

}  // namespace
