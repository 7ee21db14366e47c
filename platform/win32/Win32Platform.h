// The platform operations on Win32: each override makes the system call it
// names. The WMI overrides live in Win32Wmi.cpp.
#pragma once

// The system headers first, so that their macros are gone before the
// interface is declared.
#include "platform/win32/WindowsApi.h"
//
#include "platform/Platform.h"

namespace platform {

class Win32Platform final : public Platform {
public:
    Win32Platform() = default;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // Process and start-up (Win32System.cpp)
    std::string GetCommandLineA() override;
    unsigned AddErrorMode(unsigned flags) override;
    unsigned SetErrorMode(unsigned mode) override;
    std::optional<std::string> GetModuleFileNameA() override;
    void InitCommonControls() override;
    MutexResult CreateInstanceMutex(const std::string& name) override;
    bool DuplicateInstanceMutexInto(KernelHandle process) override;
    bool GetSystemPowerStatus(PowerStatus& status) override;
    unsigned long GetSystemDefaultLCID() override;
    void Sleep(unsigned long milliseconds) override;
    unsigned long GetTickCount() override;
    void RestrictDllSearchPath() override;

    // Resources and text (Win32Text.cpp)
    bool LoadStringA(unsigned id, std::string& text) override;
    std::optional<std::string> LoadResourceData(unsigned id) override;
    std::string AnsiFromUtf16(const std::u16string& text) override;
    std::u16string Utf16FromAnsi(const std::string& text) override;
    void MbsUpr(std::string& text) override;

    // Message boxes (Win32Window.cpp)
    int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                    unsigned type) override;

    // COM (Win32System.cpp)
    void CoInitialize() override;
    Hresult CoInitializeSecurity() override;
    Hresult CoInitializeMultithreaded() override;
    void CoUninitialize() override;

    // Registry (Win32Registry.cpp)
    long RegOpenKeyExA(RegistryRoot root, const std::string& subKey, unsigned long options,
                       unsigned long access, KeyHandle& key) override;
    long RegCreateKeyA(RegistryRoot root, const std::string& subKey, KeyHandle& key) override;
    long RegSetValueExA(KeyHandle key, const std::string& name, unsigned long type,
                        const void* data, unsigned long size) override;
    long RegCloseKey(KeyHandle key) override;
    long SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                        const std::string& value) override;

    // Files and folders (Win32Files.cpp)
    bool RemoveDirectoryA(const std::string& path) override;
    bool CreateDirectoryA(const std::string& path) override;
    Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) override;
    KernelHandle OpenFileForReading(const std::string& path) override;
    KernelHandle OpenFolderToHold(const std::string& path) override;
    KernelHandle OpenFileToHold(const std::string& path) override;
    std::optional<unsigned long> ReparseTagOf(const std::string& path) override;
    bool ReadFile(KernelHandle file, void* buffer, unsigned long size,
                  unsigned long& read) override;
    bool GetFileSize(KernelHandle file, std::uint64_t& size) override;
    std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path) override;

    // Processes and threads (Win32Process.cpp)
    bool CreateProcessA(const std::string& application, std::string& commandLine,
                        unsigned long flags, const std::string& directory,
                        ProcessInfo& info) override;
    unsigned long WaitForSingleObject(KernelHandle handle, unsigned long milliseconds) override;
    void CloseHandle(KernelHandle handle) override;
    unsigned long ResumeThread(KernelHandle thread) override;
    bool TerminateProcess(KernelHandle process, unsigned exitCode) override;
    KernelHandle OpenProcess(unsigned long processId) override;
    KernelHandle OpenProcessToWatch(unsigned long processId) override;
    bool GetExitCodeProcess(KernelHandle process, unsigned long& code) override;

    // Jobs (Win32Job.cpp)
    KernelHandle CreateJobObject() override;
    KernelHandle CreateJobCompletionPort(KernelHandle job) override;
    bool AssignProcessToJobObject(KernelHandle job, KernelHandle process) override;
    bool IsProcessInJob(KernelHandle process, KernelHandle job) override;
    bool OwnJobAllowsBreakaway() override;
    bool GetJobProcessIds(KernelHandle job, std::vector<unsigned long>& ids) override;
    bool GetJobActiveProcesses(KernelHandle job, unsigned long& count) override;
    bool PostJobMessage(KernelHandle port, unsigned long message) override;
    bool GetJobMessage(KernelHandle port, unsigned long milliseconds, unsigned long& message,
                       unsigned long& processId) override;
    bool StartThread(ThreadEntry entry, void* argument) override;
    std::unique_ptr<Lock> CreateLock() override;

    // The modal dialog and its UI loop (Win32Dialog.cpp)
    void RunModalDialog(unsigned templateId, DialogHost& host) override;
    Lresult DefaultWindowProc(WindowHandle window, unsigned message, Wparam wParam,
                              Lparam lParam) override;
    bool IsDialogMessage(WindowHandle window, const QueuedMessage& msg) override;
    void EndDialog(WindowHandle window) override;

    // Windows, messages and timers (Win32Window.cpp)
    Lresult SendMessageA(WindowHandle window, unsigned message, Wparam wParam,
                         Lparam lParam) override;
    bool PostMessageA(WindowHandle window, unsigned message, Wparam wParam, Lparam lParam) override;
    void PostQuitMessage(int exitCode) override;
    bool TakeQuitRequest() override;
    bool SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) override;
    bool KillTimer(WindowHandle window, unsigned id) override;
    bool InvalidateRect(WindowHandle window, bool erase) override;
    bool SetWindowPos(WindowHandle window, ZOrder insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    std::vector<WindowHandle> EnumTopLevelWindows() override;
    unsigned long GetWindowProcessId(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    Rect GetWindowRect(WindowHandle window) override;
    bool IsCloaked(WindowHandle window) override;
    bool IsOnDisplay(WindowHandle window) override;
    bool IsTopmost(WindowHandle window) override;
    WindowHandle GetForegroundWindow() override;
    bool SetForegroundWindow(WindowHandle window) override;
    int GetSystemMetrics(int index) override;
    bool SetWindowTextA(WindowHandle window, const std::string& text) override;
    void ModifyStyleEx(WindowHandle window, unsigned long remove, unsigned long add) override;
    void CenterWindow(WindowHandle window) override;
    bool IsIconic(WindowHandle window) override;
    bool ShowWindow(WindowHandle window, int command) override;
    Rect GetClientRect(WindowHandle window) override;
    IconHandle LoadIconA(unsigned id) override;
    unsigned long SetThreadExecutionState(unsigned long flags) override;
    bool ShutdownBlockReasonCreate(WindowHandle window, const std::u16string& reason) override;
    bool ShutdownBlockReasonDestroy(WindowHandle window) override;

    // Drawing (Win32Drawing.cpp)
    DcHandle BeginPaint(WindowHandle window, PaintStruct& paint) override;
    void EndPaint(WindowHandle window, PaintStruct& paint) override;
    DcHandle GetDC(WindowHandle window) override;
    void ReleaseDC(WindowHandle window, DcHandle dc) override;
    GdiObject LoadBitmapA(unsigned id) override;
    GdiObject CreateCompatibleBitmap(DcHandle dc, int width, int height) override;
    DcHandle CreateCompatibleDC(DcHandle dc) override;
    GdiObject SelectObject(DcHandle dc, GdiObject object) override;
    bool DeleteDC(DcHandle dc) override;
    bool DeleteObject(GdiObject object) override;
    GdiObject CreateSolidBrush(unsigned long color) override;
    bool BitBlt(DcHandle target, int x, int y, int width, int height, DcHandle source, int sourceX,
                int sourceY, unsigned rop) override;
    unsigned long SetTextColor(DcHandle dc, unsigned long color) override;
    unsigned long SetBkColor(DcHandle dc, unsigned long color) override;
    int SetBkMode(DcHandle dc, int mode) override;
    int DrawTextA(DcHandle dc, const std::string& text, Rect& rect, unsigned format) override;
    bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) override;

    // WMI (Win32Wmi.cpp)
    Hresult CreateWbemLocator(ComObject*& locator) override;
    Hresult ConnectServer(ComObject* locator, Bstr nameSpace, ComObject*& services) override;
    Hresult CreateInstanceEnum(ComObject* services, Bstr className, long flags,
                               ComObject*& enumerator) override;
    Hresult EnumNext(ComObject* enumerator, long timeout, unsigned long count, ComObject*& object,
                     unsigned long& returned) override;
    Hresult GetProperty(ComObject* object, Bstr name, long flags, Variant& value) override;
    Hresult ExecMethod(ComObject* services, const std::u16string& className,
                       const std::u16string& objectPath, const std::u16string& method,
                       const WmiValues& inputs, WmiValues& outputs) override;
    void Release(ComObject* object) override;
    Bstr SysAllocString(const std::u16string& text) override;
    void SysFreeString(Bstr text) override;
    void VariantClear(Variant& value) override;

private:
    // The single-instance mutex: never closed, the system drops it at exit.
    HANDLE m_hInstanceMutex = nullptr;
};

}  // namespace platform
