// Folders, the Program Files path and the executable's own path.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

using platform_test::IsDirectory;
using platform_test::PathExists;
using platform_test::ScratchFolder;

TEST(FoldersTest, RemoveDirectoryTakesOnlyAnEmptyFolder) {
    ScratchFolder scratch("remove");
    Win32Platform os;
    const std::string empty = scratch.Path() + "\\Empty";
    const std::string full = scratch.Path() + "\\Full";
    ASSERT_TRUE(platform_test::CreateFolders(empty));
    ASSERT_TRUE(platform_test::CreateFolders(full));
    ASSERT_TRUE(platform_test::WriteTextFile(full + "\\winflash.exe", "tool"));

    EXPECT_TRUE(os.RemoveDirectoryA(empty));
    EXPECT_FALSE(PathExists(empty));

    EXPECT_FALSE(os.RemoveDirectoryA(full));
    EXPECT_TRUE(IsDirectory(full));
    EXPECT_EQ(platform_test::ReadTextFile(full + "\\winflash.exe"), "tool");

    EXPECT_FALSE(os.RemoveDirectoryA(scratch.Path() + "\\Missing"));
}

TEST(FoldersTest, CreateDirectoryMakesTheLastElementOnly) {
    ScratchFolder scratch("create");
    Win32Platform os;
    const std::string folder = scratch.Path() + "\\BIOSUPDATE";

    EXPECT_TRUE(os.CreateDirectoryA(folder));
    EXPECT_TRUE(IsDirectory(folder));

    // An existing folder stays as it is, with what it holds.
    ASSERT_TRUE(platform_test::WriteTextFile(folder + "\\kept.txt", "kept"));
    EXPECT_FALSE(os.CreateDirectoryA(folder));
    EXPECT_EQ(platform_test::ReadTextFile(folder + "\\kept.txt"), "kept");

    EXPECT_FALSE(os.CreateDirectoryA(scratch.Path() + "\\No\\Such\\Parent"));
    EXPECT_FALSE(PathExists(scratch.Path() + "\\No"));
}

// The folder a 32-bit program gets, on 64-bit Windows "Program Files (x86)",
// whichever build asks.
TEST(FoldersTest, ProgramFilesPathIsTheExisting32BitFolder) {
    Win32Platform os;
    std::string path = "left over";
    EXPECT_EQ(os.SHGetFolderPathA(CSIDL_PROGRAM_FILES, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_FALSE(path.empty());
    EXPECT_LT(path.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_NE(path.back(), '\\');
    EXPECT_TRUE(IsDirectory(path)) << path;
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 8 || (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64)) {
        EXPECT_EQ(path.substr(path.size() - 6), " (x86)") << path;
    }
}

TEST(FoldersTest, UnknownShellFolderFailsWithAnEmptyPath) {
    Win32Platform os;
    std::string path = "left over";
    EXPECT_LT(os.SHGetFolderPathA(0x7F, SHGFP_TYPE_CURRENT, path), 0);
    EXPECT_EQ(path, "");
}

// What the package's check opens and lists. Links are tried end to end
// (cases_hardening.py): only there can a test make one in the prefix.
TEST(FoldersTest, HeldEntriesAndListingsAsTheCheckSeesThem) {
    ScratchFolder scratch("held");
    Win32Platform os;
    const std::string notes = scratch.Path() + "\\Release Notes.txt";
    ASSERT_TRUE(platform_test::WriteTextFile(notes, "notes"));
    ASSERT_TRUE(platform_test::WriteTextFile(scratch.Path() + "\\planted.dllx", "MZ"));
    ASSERT_TRUE(platform_test::CreateFolders(scratch.Path() + "\\en-US"));

    // The drive's root and a plain folder are no reparse points; what is not
    // there has no tag to read.
    EXPECT_EQ(os.ReparseTagOf("C:\\"), std::optional<unsigned long>(0));
    EXPECT_EQ(os.ReparseTagOf(scratch.Path()), std::optional<unsigned long>(0));
    EXPECT_EQ(os.ReparseTagOf(notes), std::optional<unsigned long>(0));
    EXPECT_EQ(os.ReparseTagOf(scratch.Path() + "\\missing"), std::nullopt);

    KernelHandle root = os.OpenFolderToHold("C:\\");
    KernelHandle folder = os.OpenFolderToHold(scratch.Path());
    KernelHandle file = os.OpenFileToHold(notes);
    ASSERT_TRUE(root && folder && file);
    EXPECT_FALSE(os.OpenFolderToHold(scratch.Path() + "\\missing"));
    EXPECT_FALSE(os.OpenFileToHold(scratch.Path() + "\\en-US"));  // a folder
    // While held: the file is read through a handle of its own; the folder
    // takes new files (the utility's log).
    KernelHandle reading = os.OpenFileForReading(notes);
    EXPECT_TRUE(reading);
    EXPECT_TRUE(platform_test::WriteTextFile(scratch.Path() + "\\winflash.log", "log"));
    for (KernelHandle held : {root, folder, file, reading}) os.CloseHandle(held);

    // Each entry with its kind and its short name, under which the loader
    // finds a file too: "planted.dllx" is a .DLL by its short name.
    std::optional<std::vector<FolderEntry>> entries = os.ListFolder(scratch.Path());
    ASSERT_TRUE(entries);
    std::map<std::string, FolderEntry> byName;
    for (const FolderEntry& entry : *entries) byName[entry.name] = entry;
    ASSERT_EQ(byName.size(), 4u);
    EXPECT_TRUE(byName["en-US"].folder);
    EXPECT_FALSE(byName["Release Notes.txt"].folder);
    const std::string& dllx = byName["planted.dllx"].shortName;
    ASSERT_GE(dllx.size(), 4u);
    EXPECT_EQ(dllx.substr(dllx.size() - 4), ".DLL") << dllx;
    EXPECT_NE(byName["Release Notes.txt"].shortName, "");
    EXPECT_EQ(byName["winflash.log"].shortName, "");  // already a short name
    EXPECT_FALSE(os.ListFolder(scratch.Path() + "\\missing"));
}

TEST(ModulePathTest, NamesThisProgram) {
    Win32Platform os;
    std::optional<std::string> path = os.GetModuleFileNameA();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, platform_test::ProgramDirectory() + "\\platform_tests.exe");
}

// Run by ctest from a copy of this program in a folder whose path is longer
// than 600 characters (run-from-long-path.sh): the 8-bit path comes whole.
TEST(ModulePathTest, DISABLED_LongPathIsReportedWhole) {
    std::vector<wchar_t> wide(32768);
    DWORD length = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    ASSERT_GT(length, 2u * MAX_PATH);  // the 8-bit buffer has to grow twice
    std::vector<char> expected(4 * length + 1);
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, expected.data(),
                          static_cast<int>(expected.size()), nullptr, nullptr);

    Win32Platform os;
    std::optional<std::string> path = os.GetModuleFileNameA();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, std::string(expected.data()));
}

}  // namespace
}  // namespace platform
