// The test double of the platform: each subject's scripted state and
// records in a class of its own (FakeSystem.h, FakeRegistry.h, ...), the
// operations in one file per subject (FakeSystem.cpp, FakeRegistry.cpp, ...),
// and here what they share: the virtual clock, the record of calls and the
// lock that guards them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/fake/FakeDrawing.h"
#include "tests/fake/FakeFiles.h"
#include "tests/fake/FakeProcesses.h"
#include "tests/fake/FakeRegistry.h"
#include "tests/fake/FakeSystem.h"
#include "tests/fake/FakeText.h"
#include "tests/fake/FakeWindows.h"
#include "tests/fake/FakeWmi.h"

namespace fake {

// One recorded platform call: what was called, when on the virtual clock.
struct Call {
    std::int64_t timeUs;
    std::string what;
};

class FakePlatform final : public platform::Platform,
                           public SystemState,
                           public TextState,
                           public RegistryState,
                           public FileState,
                           public ProcessState,
                           public WindowState,
                           public DrawingState,
                           public WmiState {
public:
    FakePlatform();
    // Fails the running test when a hang was expected and none came.
    ~FakePlatform() override;

    std::vector<Call> calls;

    // ---- Clock ----------------------------------------------------------
    std::int64_t NowUs() const;
    void AdvanceUs(std::int64_t us);

    // ---- Registry and files, for set-up and checks -----------------------
    void SetRegistryValue(platform::RegistryRoot root, const std::string& key,
                          const std::string& name, const RegistryValue& value);
    const RegistryValue* FindRegistryValue(platform::RegistryRoot root, const std::string& key,
                                           const std::string& name) const;
    bool KeyExists(platform::RegistryRoot root, const std::string& key) const;
    void AddDirectory(const std::string& path);
    void AddFile(const std::string& path, const std::string& contents = "");
    // The work folder C:\Update\Zarel_bios with the utility and the image,
    // and the program's list of trusted files naming exactly them.
    void AddPackage();
    static constexpr const char* kWorkFolder = "C:\\Update\\Zarel_bios";
    bool DirectoryExists(const std::string& path) const;
    bool FileExists(const std::string& path) const;

    // Calls whose description starts with prefix, in order.
    std::vector<Call> CallsStartingWith(const std::string& prefix) const;
    int CountCalls(const std::string& prefix) const;
    // Runs deferred threads until none is left.
    void RunPendingThreads();
    // Queues a message as another program posts it (window null: a
    // message to the thread); not recorded among the program's posts.
    void PostFromOutside(platform::WindowHandle window, unsigned message, platform::Wparam wParam,
                         platform::Lparam lParam);

    static platform::WindowHandle DialogWindow();

    // ---- platform::Platform, by subject ---------------------------------
    // Process and start-up, COM (FakeSystem.cpp)
    std::string GetCommandLineA() override;
    unsigned AddErrorMode(unsigned flags) override;
    unsigned SetErrorMode(unsigned mode) override;
    std::optional<std::string> GetModuleFileNameA() override;
    void InitCommonControls() override;
    platform::MutexResult CreateInstanceMutex(const std::string& name) override;
    bool DuplicateInstanceMutexInto(platform::KernelHandle process) override;
    bool GetSystemPowerStatus(platform::PowerStatus& status) override;
    unsigned long GetSystemDefaultLCID() override;
    void Sleep(unsigned long milliseconds) override;
    unsigned long GetTickCount() override;
    void RestrictDllSearchPath() override;
    void CoInitialize() override;
    platform::Hresult CoInitializeSecurity() override;
    platform::Hresult CoInitializeMultithreaded() override;
    void CoUninitialize() override;

    // Resources and text (FakeText.cpp)
    bool LoadStringA(unsigned id, std::string& text) override;
    std::optional<std::string> LoadResourceData(unsigned id) override;
    std::string AnsiFromUtf16(const std::u16string& text) override;
    std::u16string Utf16FromAnsi(const std::string& text) override;
    void MbsUpr(std::string& text) override;

    // Message boxes (FakeWindows.cpp)
    int MessageBoxA(platform::WindowHandle owner, const std::string& text,
                    const std::string& caption, unsigned type) override;

    // Registry (FakeRegistry.cpp)
    long RegOpenKeyExA(platform::RegistryRoot root, const std::string& subKey,
                       unsigned long options, unsigned long access,
                       platform::KeyHandle& key) override;
    long RegCreateKeyA(platform::RegistryRoot root, const std::string& subKey,
                       platform::KeyHandle& key) override;
    long RegSetValueExA(platform::KeyHandle key, const std::string& name, unsigned long type,
                        const void* data, unsigned long size) override;
    long RegCloseKey(platform::KeyHandle key) override;
    long SHDeleteValueA(platform::RegistryRoot root, const std::string& subKey,
                        const std::string& value) override;

    // Files and folders (FakeFiles.cpp)
    bool RemoveDirectoryA(const std::string& path) override;
    bool CreateDirectoryA(const std::string& path) override;
    platform::Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) override;
    platform::KernelHandle OpenFileForReading(const std::string& path) override;
    platform::KernelHandle OpenFolderToHold(const std::string& path) override;
    platform::KernelHandle OpenFileToHold(const std::string& path) override;
    std::optional<unsigned long> ReparseTagOf(const std::string& path) override;
    bool ReadFile(platform::KernelHandle file, void* buffer, unsigned long size,
                  unsigned long& read) override;
    bool GetFileSize(platform::KernelHandle file, std::uint64_t& size) override;
    std::optional<std::vector<platform::FolderEntry>> ListFolder(const std::string& path) override;

    // Processes and threads (FakeProcesses.cpp, jobs in FakeJobs.cpp)
    bool CreateProcessA(const std::string& application, std::string& commandLine,
                        unsigned long flags, const std::string& directory,
                        platform::ProcessInfo& info) override;
    unsigned long WaitForSingleObject(platform::KernelHandle handle,
                                      unsigned long milliseconds) override;
    void CloseHandle(platform::KernelHandle handle) override;
    unsigned long ResumeThread(platform::KernelHandle thread) override;
    bool TerminateProcess(platform::KernelHandle process, unsigned exitCode) override;
    platform::KernelHandle OpenProcess(unsigned long processId) override;
    platform::KernelHandle OpenProcessToWatch(unsigned long processId) override;
    bool GetExitCodeProcess(platform::KernelHandle process, unsigned long& code) override;
    platform::KernelHandle CreateJobObject() override;
    platform::KernelHandle CreateJobCompletionPort(platform::KernelHandle job) override;
    bool AssignProcessToJobObject(platform::KernelHandle job,
                                  platform::KernelHandle process) override;
    bool IsProcessInJob(platform::KernelHandle process, platform::KernelHandle job) override;
    bool OwnJobAllowsBreakaway() override;
    bool GetJobProcessIds(platform::KernelHandle job, std::vector<unsigned long>& ids) override;
    bool GetJobActiveProcesses(platform::KernelHandle job, unsigned long& count) override;
    bool GetJobMessage(platform::KernelHandle port, unsigned long milliseconds,
                       unsigned long& message, unsigned long& processId) override;
    bool PostJobMessage(platform::KernelHandle port, unsigned long message) override;
    bool StartThread(platform::ThreadEntry entry, void* argument) override;
    std::unique_ptr<platform::Lock> CreateLock() override;

    // The modal dialog, its messages and timers (FakeDialog.cpp)
    void RunModalDialog(unsigned templateId, platform::DialogHost& host) override;
    platform::Lresult DefaultWindowProc(platform::WindowHandle window, unsigned message,
                                        platform::Wparam wParam, platform::Lparam lParam) override;
    void EndDialog(platform::WindowHandle window) override;
    bool IsDialogMessage(platform::WindowHandle window,
                         const platform::QueuedMessage& msg) override;
    platform::Lresult SendMessageA(platform::WindowHandle window, unsigned message,
                                   platform::Wparam wParam, platform::Lparam lParam) override;
    bool PostMessageA(platform::WindowHandle window, unsigned message, platform::Wparam wParam,
                      platform::Lparam lParam) override;
    void PostQuitMessage(int exitCode) override;
    bool TakeQuitRequest() override;
    bool SetTimer(platform::WindowHandle window, unsigned id, unsigned milliseconds) override;
    bool KillTimer(platform::WindowHandle window, unsigned id) override;

    // Windows (FakeWindows.cpp)
    bool InvalidateRect(platform::WindowHandle window, bool erase) override;
    bool SetWindowPos(platform::WindowHandle window, platform::ZOrder insertAfter, int x, int y,
                      int cx, int cy, unsigned flags) override;
    std::vector<platform::WindowHandle> EnumTopLevelWindows() override;
    unsigned long GetWindowProcessId(platform::WindowHandle window) override;
    bool IsWindowVisible(platform::WindowHandle window) override;
    platform::Rect GetWindowRect(platform::WindowHandle window) override;
    bool IsCloaked(platform::WindowHandle window) override;
    bool IsOnDisplay(platform::WindowHandle window) override;
    bool IsTopmost(platform::WindowHandle window) override;
    platform::WindowHandle GetForegroundWindow() override;
    bool SetForegroundWindow(platform::WindowHandle window) override;
    int GetSystemMetrics(int index) override;
    bool SetWindowTextA(platform::WindowHandle window, const std::string& text) override;
    void ModifyStyleEx(platform::WindowHandle window, unsigned long remove,
                       unsigned long add) override;
    void CenterWindow(platform::WindowHandle window) override;
    bool IsIconic(platform::WindowHandle window) override;
    bool ShowWindow(platform::WindowHandle window, int command) override;
    platform::Rect GetClientRect(platform::WindowHandle window) override;
    platform::IconHandle LoadIconA(unsigned id) override;
    unsigned long SetThreadExecutionState(unsigned long flags) override;
    bool ShutdownBlockReasonCreate(platform::WindowHandle window,
                                   const std::u16string& reason) override;
    bool ShutdownBlockReasonDestroy(platform::WindowHandle window) override;

    // Drawing (FakeDrawing.cpp)
    platform::DcHandle BeginPaint(platform::WindowHandle window,
                                  platform::PaintStruct& paint) override;
    void EndPaint(platform::WindowHandle window, platform::PaintStruct& paint) override;
    platform::DcHandle GetDC(platform::WindowHandle window) override;
    void ReleaseDC(platform::WindowHandle window, platform::DcHandle dc) override;
    platform::GdiObject LoadBitmapA(unsigned id) override;
    platform::GdiObject CreateCompatibleBitmap(platform::DcHandle dc, int width,
                                               int height) override;
    platform::DcHandle CreateCompatibleDC(platform::DcHandle dc) override;
    platform::GdiObject SelectObject(platform::DcHandle dc, platform::GdiObject object) override;
    bool DeleteDC(platform::DcHandle dc) override;
    bool DeleteObject(platform::GdiObject object) override;
    platform::GdiObject CreateSolidBrush(unsigned long color) override;
    bool BitBlt(platform::DcHandle target, int x, int y, int width, int height,
                platform::DcHandle source, int sourceX, int sourceY, unsigned rop) override;
    unsigned long SetTextColor(platform::DcHandle dc, unsigned long color) override;
    unsigned long SetBkColor(platform::DcHandle dc, unsigned long color) override;
    int SetBkMode(platform::DcHandle dc, int mode) override;
    int DrawTextA(platform::DcHandle dc, const std::string& text, platform::Rect& rect,
                  unsigned format) override;
    bool DrawIcon(platform::DcHandle dc, int x, int y, platform::IconHandle icon) override;

    // WMI (FakeWmi.cpp)
    platform::Hresult CreateWbemLocator(platform::ComObject*& locator) override;
    platform::Hresult ConnectServer(platform::ComObject* locator, platform::Bstr nameSpace,
                                    platform::ComObject*& services) override;
    platform::Hresult CreateInstanceEnum(platform::ComObject* services, platform::Bstr className,
                                         long flags, platform::ComObject*& enumerator) override;
    platform::Hresult EnumNext(platform::ComObject* enumerator, long timeout, unsigned long count,
                               platform::ComObject*& object, unsigned long& returned) override;
    platform::Hresult GetProperty(platform::ComObject* object, platform::Bstr name, long flags,
                                  platform::Variant& value) override;
    platform::Hresult ExecMethod(platform::ComObject* services, const std::u16string& className,
                                 const std::u16string& objectPath, const std::u16string& method,
                                 const platform::WmiValues& inputs,
                                 platform::WmiValues& outputs) override;
    void Release(platform::ComObject* object) override;
    platform::Bstr SysAllocString(const std::u16string& text) override;
    void SysFreeString(platform::Bstr text) override;
    void VariantClear(platform::Variant& value) override;

private:
    void Record(const std::string& what);
    platform::KernelHandle NewHandle();
    platform::KernelHandle NewHandle(const std::string& kind);
    platform::KernelHandle OpenRunningProcess(const std::string& call, const std::string& kind,
                                              unsigned long processId);
    void RunProcess(unsigned long processId);
    void Hang(const std::string& how);
    const platform::TopLevelWindow* FindTopLevel(platform::WindowHandle window) const;

    mutable std::recursive_mutex mutex_;
    std::int64_t nowUs_ = 0;
};

}  // namespace fake
