// The operating-system operations the program uses, one thin virtual per call.
// The Win32 layer (platform/win32) implements them for real; the host tests
// install a double. Arguments and results follow the Win32 calls they stand for.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Types.h"

namespace platform {

// Callbacks from the window system into a running modal dialog.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    // WM_INITDIALOG: the window exists; returns what OnInitDialog returns.
    virtual bool HandleInitDialog(WindowHandle window) = 0;
    // Every other message sent or dispatched to the dialog's window.
    virtual Lresult HandleMessage(unsigned message, Wparam wParam, Lparam lParam) = 0;
    // Messages the UI loop takes from the queue for the dialog; true: handled.
    virtual bool HandlePreTranslate(const QueuedMessage& msg) = 0;
    // A quit request the UI loop took from the queue: true ends the loop,
    // false drops the request and the loop goes on.
    virtual bool HandleQuit() = 0;
    // The window is being destroyed: last call with a valid handle.
    virtual void HandleDestroyed() = 0;
};

// A lock between threads (a critical section on Win32).
class Lock {
public:
    virtual ~Lock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

enum class ZOrder { Topmost };

// Room for the system's PAINTSTRUCT between BeginPaint and EndPaint.
struct PaintStruct {
    alignas(8) unsigned char storage[96] = {};
};

using ThreadEntry = void (*)(void* argument);
using Bstr = char16_t*;

class Platform {
public:
    virtual ~Platform() = default;

    // --- Process and start-up -------------------------------------------
    virtual std::string GetCommandLineA() = 0;
    virtual void AddErrorMode(unsigned flags) = 0;
    // The executable's full path, whole whatever its length; nullopt when
    // the system cannot report it.
    virtual std::optional<std::string> GetModuleFileNameA() = 0;
    virtual void InitCommonControls() = 0;
    // Creates the named mutex without ownership; the handle is kept open
    // until the process ends.
    virtual MutexResult CreateInstanceMutex(const std::string& name) = 0;
    // Gives process a handle of its own to the instance mutex, so that the
    // guard holds for as long as that process runs. False without a mutex.
    virtual bool DuplicateInstanceMutexInto(KernelHandle process) = 0;
    virtual bool GetSystemPowerStatus(PowerStatus& status) = 0;
    virtual unsigned long GetSystemDefaultLCID() = 0;
    virtual void Sleep(unsigned long milliseconds) = 0;
    virtual void RestrictDllSearchPath() = 0;

    // --- Resources and text ---------------------------------------------
    // Loads string N in the user's language, converted with CP_THREAD_ACP.
    // False, and text untouched, when it is missing or empty.
    virtual bool LoadStringA(unsigned id, std::string& text) = 0;
    virtual std::string AnsiFromUtf16(const std::u16string& text) = 0;
    virtual std::u16string Utf16FromAnsi(const std::string& text) = 0;
    // In-place multibyte upper-casing in the system's ANSI code page.
    virtual void MbsUpr(std::string& text) = 0;

    // --- Message boxes --------------------------------------------------
    virtual int MessageBoxA(WindowHandle owner, const std::string& text, const std::string& caption,
                            unsigned type) = 0;

    // --- COM ------------------------------------------------------------
    virtual void CoInitialize() = 0;
    // The process-wide security the program sets at start-up.
    virtual Hresult CoInitializeSecurity() = 0;

    // --- Registry -------------------------------------------------------
    virtual long RegOpenKeyExA(RegistryRoot root, const std::string& subKey, unsigned long options,
                               unsigned long access, KeyHandle& key) = 0;
    virtual long RegCreateKeyA(RegistryRoot root, const std::string& subKey, KeyHandle& key) = 0;
    virtual long RegSetValueExA(KeyHandle key, const std::string& name, unsigned long type,
                                const void* data, unsigned long size) = 0;
    virtual long RegCloseKey(KeyHandle key) = 0;
    virtual long SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                                const std::string& value) = 0;

    // --- Files and folders ----------------------------------------------
    virtual bool RemoveDirectoryA(const std::string& path) = 0;
    virtual bool CreateDirectoryA(const std::string& path) = 0;
    // Fills path (at most 259 characters) with the folder's path.
    virtual Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) = 0;

    // --- Processes and threads ------------------------------------------
    // Starts application with a writable command line, no inherited handles,
    // the caller's environment and a start-up record zeroed but for its size.
    virtual bool CreateProcessA(const std::string& application, std::string& commandLine,
                                unsigned long flags, const std::string& directory,
                                ProcessInfo& info) = 0;
    virtual unsigned long WaitForSingleObject(KernelHandle handle, unsigned long milliseconds) = 0;
    virtual void CloseHandle(KernelHandle handle) = 0;
    virtual unsigned long ResumeThread(KernelHandle thread) = 0;
    // A handle to the process with that id, with the rights to test its job
    // and to give it a handle; null when there is none.
    virtual KernelHandle OpenProcess(unsigned long processId) = 0;
    // A job without limits: it never ends or kills what it holds. Null when
    // the system cannot make one.
    virtual KernelHandle CreateJobObject() = 0;
    // A new completion port that reports the job's processes; null when the
    // port cannot be made or tied to the job.
    virtual KernelHandle CreateJobCompletionPort(KernelHandle job) = 0;
    virtual bool AssignProcessToJobObject(KernelHandle job, KernelHandle process) = 0;
    virtual bool IsProcessInJob(KernelHandle process, KernelHandle job) = 0;
    // The job's count of processes that have not ended; false when unknown.
    virtual bool GetJobActiveProcesses(KernelHandle job, unsigned long& count) = 0;
    // The port's next message (JOB_OBJECT_MSG_*) and the process id it names;
    // false when none came within milliseconds.
    virtual bool GetJobMessage(KernelHandle port, unsigned long milliseconds,
                               unsigned long& message, unsigned long& processId) = 0;
    // Runs entry(argument) on a new thread whose handle the caller never sees.
    virtual bool StartThread(ThreadEntry entry, void* argument) = 0;
    virtual std::unique_ptr<Lock> CreateLock() = 0;

    // --- Windows, messages and timers -----------------------------------
    // Creates the dialog from its template, runs its UI loop until the quit
    // request, then destroys the window. Returns at once when it cannot be made.
    virtual void RunModalDialog(unsigned templateId, DialogHost& host) = 0;
    virtual Lresult DefaultWindowProc(WindowHandle window, unsigned message, Wparam wParam,
                                      Lparam lParam) = 0;
    virtual bool IsDialogMessage(WindowHandle window, const QueuedMessage& msg) = 0;
    // Ends the UI loop of the modal dialog that owns window.
    virtual void EndDialog(WindowHandle window) = 0;
    virtual Lresult SendMessageA(WindowHandle window, unsigned message, Wparam wParam,
                                 Lparam lParam) = 0;
    virtual bool PostMessageA(WindowHandle window, unsigned message, Wparam wParam,
                              Lparam lParam) = 0;
    virtual void PostQuitMessage(int exitCode) = 0;
    // Removes a quit request waiting in this thread's queue; true when there
    // was one.
    virtual bool TakeQuitRequest() = 0;
    virtual bool SetTimer(WindowHandle window, unsigned id, unsigned milliseconds) = 0;
    virtual bool KillTimer(WindowHandle window, unsigned id) = 0;
    // The whole client area, without a rectangle.
    virtual bool InvalidateRect(WindowHandle window, bool erase) = 0;
    virtual bool SetWindowPos(WindowHandle window, ZOrder insertAfter, int x, int y, int cx, int cy,
                              unsigned flags) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    virtual bool SetWindowTextA(WindowHandle window, const std::string& text) = 0;
    virtual void ModifyStyleEx(WindowHandle window, unsigned long remove, unsigned long add) = 0;
    // Centres in the work area of the window's monitor, kept inside it.
    virtual void CenterWindow(WindowHandle window) = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual bool ShowWindow(WindowHandle window, int command) = 0;
    virtual Rect GetClientRect(WindowHandle window) = 0;
    virtual IconHandle LoadIconA(unsigned id) = 0;
    virtual unsigned long SetThreadExecutionState(unsigned long flags) = 0;
    virtual bool ShutdownBlockReasonCreate(WindowHandle window, const std::u16string& reason) = 0;
    virtual bool ShutdownBlockReasonDestroy(WindowHandle window) = 0;

    // --- Drawing --------------------------------------------------------
    virtual DcHandle BeginPaint(WindowHandle window, PaintStruct& paint) = 0;
    virtual void EndPaint(WindowHandle window, PaintStruct& paint) = 0;
    virtual DcHandle GetDC(WindowHandle window) = 0;
    virtual void ReleaseDC(WindowHandle window, DcHandle dc) = 0;
    virtual GdiObject LoadBitmapA(unsigned id) = 0;
    virtual GdiObject CreateCompatibleBitmap(DcHandle dc, int width, int height) = 0;
    virtual DcHandle CreateCompatibleDC(DcHandle dc) = 0;
    virtual GdiObject SelectObject(DcHandle dc, GdiObject object) = 0;
    virtual bool DeleteDC(DcHandle dc) = 0;
    virtual bool DeleteObject(GdiObject object) = 0;
    virtual GdiObject CreateSolidBrush(unsigned long color) = 0;
    virtual bool BitBlt(DcHandle target, int x, int y, int width, int height, DcHandle source,
                        int sourceX, int sourceY, unsigned rop) = 0;
    virtual unsigned long SetTextColor(DcHandle dc, unsigned long color) = 0;
    virtual unsigned long SetBkColor(DcHandle dc, unsigned long color) = 0;
    virtual int SetBkMode(DcHandle dc, int mode) = 0;
    virtual int DrawTextA(DcHandle dc, const std::string& text, Rect& rect, unsigned format) = 0;
    virtual bool DrawIcon(DcHandle dc, int x, int y, IconHandle icon) = 0;

    // --- WMI (COM calls, each as the interface method it names) ---------
    virtual Hresult CreateWbemLocator(ComObject*& locator) = 0;
    virtual Hresult ConnectServer(ComObject* locator, Bstr nameSpace, ComObject*& services) = 0;
    virtual Hresult CreateInstanceEnum(ComObject* services, Bstr className, long flags,
                                       ComObject*& enumerator) = 0;
    virtual Hresult EnumNext(ComObject* enumerator, long timeout, unsigned long count,
                             ComObject*& object, unsigned long& returned) = 0;
    virtual Hresult GetProperty(ComObject* object, Bstr name, long flags, Variant& value) = 0;
    virtual void Release(ComObject* object) = 0;
    virtual Bstr SysAllocString(const std::u16string& text) = 0;
    virtual void SysFreeString(Bstr text) = 0;
    virtual void VariantClear(Variant& value) = 0;
};

// The platform the program runs on; installed once at start-up.
Platform& Os();
void InstallPlatform(Platform* platform);

}  // namespace platform
