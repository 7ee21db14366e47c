#include <string>

#include "app/Markers.h"
#include "app/WorkFolder.h"
#include "platform/Win32Constants.h"
#include "tests/host/FakeFixture.h"

namespace {

using platform::RegistryRoot;

TEST(WorkFolderPath, IsTheExecutablesFolderPlusZarelBios) {
    EXPECT_EQ(app::WorkFolderOf("D:\\Tools\\update.exe"), "D:\\Tools\\Zarel_bios");
    EXPECT_EQ(app::WorkFolderOf("E:\\update.exe"), "E:\\Zarel_bios");
    EXPECT_EQ(app::WorkFolderOf("\\\\server\\share\\a b\\x.exe"),
              "\\\\server\\share\\a b\\Zarel_bios");
    EXPECT_EQ(app::WorkFolderOf("update.exe"), std::nullopt);
}

class CleanupFixture : public FakeFixture {};

TEST_F(CleanupFixture, RemoveWorkFolderRemovesOnlyAnEmptyFolder) {
    os.AddDirectory("C:\\Update\\Zarel_bios");
    RemoveWorkFolder();
    EXPECT_FALSE(os.DirectoryExists("C:\\Update\\Zarel_bios"));

    os.AddFile("C:\\Update\\Zarel_bios\\winflash.exe");
    RemoveWorkFolder();
    EXPECT_TRUE(os.FileExists("C:\\Update\\Zarel_bios\\winflash.exe"));
    EXPECT_TRUE(os.DirectoryExists("C:\\Update\\Zarel_bios"));
}

TEST_F(CleanupFixture, RemoveWorkFolderOfAMissingFolderDoesNothingVisible) {
    RemoveWorkFolder();
    EXPECT_EQ(os.CountCalls("RemoveDirectory C:\\Update\\Zarel_bios"), 1);
    EXPECT_TRUE(os.messageBoxes.empty());
}

TEST_F(CleanupFixture, PathsThatWouldNotFitTheirBufferAreSkippedNotCut) {
    // A folder of 249 characters leaves no room for "\Zarel_bios" in 260 bytes.
    const std::string folder = "C:\\" + std::string(246, 'd');
    os.modulePath = folder + "\\u.exe";
    os.AddDirectory(folder + "\\Zarel_bios");
    RemoveWorkFolder();
    EXPECT_EQ(os.CountCalls("RemoveDirectory"), 0);

    const std::string fits = "C:\\" + std::string(245, 'd');  // 248 + 11 = 259 characters
    os.modulePath = fits + "\\u.exe";
    os.AddDirectory(fits + "\\Zarel_bios");
    RemoveWorkFolder();
    EXPECT_FALSE(os.DirectoryExists(fits + "\\Zarel_bios"));

    os.modulePath = std::nullopt;
    RemoveWorkFolder();
    EXPECT_EQ(os.CountCalls("RemoveDirectory"), 1);
}

TEST_F(CleanupFixture, MarkerIsCreatedWithEveryMissingKeyAndWrittenAsFourteenBytes) {
    EXPECT_TRUE(WriteUpdateMarker());
    const fake::RegistryValue* value =
        os.FindRegistryValue(RegistryRoot::Users, app::kMarkerKey, "Version");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, win::REG_SZ);
    EXPECT_EQ(value->data, "1.1508.1126.02");
    EXPECT_TRUE(os.KeyExists(RegistryRoot::Users, ".DEFAULT\\Software\\Vireo"));
    EXPECT_EQ(os.OpenKeys(), 0);
    EXPECT_EQ(os.CallsStartingWith("RegOpenKeyEx")[0].what,
              std::string("RegOpenKeyEx ") + app::kMarkerKey + " options=0 access=2");
}

TEST_F(CleanupFixture, MarkerReplacesAnyExistingValueThroughTheOpenedKey) {
    os.SetRegistryValue(RegistryRoot::Users, app::kMarkerKey, "Version", {4, "\x01\x02\x03\x04"});
    EXPECT_TRUE(WriteUpdateMarker());
    EXPECT_EQ(os.FindRegistryValue(RegistryRoot::Users, app::kMarkerKey, "Version")->data,
              "1.1508.1126.02");
    EXPECT_EQ(os.CountCalls("RegCreateKey"), 0);
    EXPECT_EQ(os.OpenKeys(), 0);
}

TEST_F(CleanupFixture, MarkerWithoutRightsFailsAndLeavesNoKeyOpen) {
    os.deniedKeys.insert(".default\\software\\vireo\\biosupdate\\parameters");
    EXPECT_FALSE(WriteUpdateMarker());
    EXPECT_EQ(os.OpenKeys(), 0);
    EXPECT_EQ(os.CountCalls("RegCloseKey"), 0);
}

TEST_F(CleanupFixture, RemoveRunEntryDeletesOnlyItsOwnValue) {
    os.SetRegistryValue(RegistryRoot::LocalMachine, app::kRunKey, "BIOSUpdate", {1, "x"});
    os.SetRegistryValue(RegistryRoot::LocalMachine, app::kRunKey, "Other", {1, "y"});
    RemoveRunEntry();
    RemoveRunEntry();  // absent now: nothing happens
    EXPECT_EQ(os.FindRegistryValue(RegistryRoot::LocalMachine, app::kRunKey, "BIOSUpdate"),
              nullptr);
    EXPECT_NE(os.FindRegistryValue(RegistryRoot::LocalMachine, app::kRunKey, "Other"), nullptr);
}

TEST_F(CleanupFixture, UpdateFolderIsCreatedUnderProgramFilesAndAnExistingOneKept) {
    CreateUpdateFolder();
    EXPECT_TRUE(os.DirectoryExists("C:\\Program Files\\BIOSUPDATE"));
    os.AddFile("C:\\Program Files\\BIOSUPDATE\\kept.txt");
    CreateUpdateFolder();
    EXPECT_TRUE(os.FileExists("C:\\Program Files\\BIOSUPDATE\\kept.txt"));
    EXPECT_EQ(os.CallsStartingWith("SHGetFolderPath")[0].what,
              Trace("SHGetFolderPath", win::CSIDL_PROGRAM_FILES, win::SHGFP_TYPE_CURRENT));
}

TEST_F(CleanupFixture, UpdateFolderIsSkippedWithoutAProgramFilesPath) {
    os.programFilesResult = static_cast<platform::Hresult>(0x80070002);
    CreateUpdateFolder();
    os.programFilesResult = 0;
    os.programFiles = "";
    CreateUpdateFolder();
    os.programFiles = "C:\\" + std::string(246, 'p');  // 249 + 11 would not fit
    CreateUpdateFolder();
    EXPECT_EQ(os.CountCalls("CreateDirectory"), 0);
}

}  // namespace
