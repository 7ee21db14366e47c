// Helpers of the Win32 layer's tests: scratch folders, files and the session.
#pragma once

#include <string>

#include "platform/win32/WindowsApi.h"

namespace platform_test {

// The language the test run was started in (BIOSUPDATE_TEST_LANGUAGE).
bool KoreanSession();

// The folder holding this test program (and winflash.exe).
std::string ProgramDirectory();

// A fresh folder for one test under the system's temporary folder, removed
// with everything in it when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Paths here may be longer than MAX_PATH.
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
// Copies a file; both paths may be longer than MAX_PATH.
bool CopyToPath(const std::string& source, const std::string& target);
// Creates every missing folder of the path; true when it exists afterwards.
bool CreateFolders(const std::string& path);
// Removes a file or a folder with everything in it.
void RemoveTree(const std::string& path);

// Milliseconds on a monotonic clock.
unsigned long long Milliseconds();

}  // namespace platform_test
