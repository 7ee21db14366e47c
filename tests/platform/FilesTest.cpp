// Folders, the Program Files path and the executable's own path.
#include <gtest/gtest.h>
#include <shlobj.h>

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
