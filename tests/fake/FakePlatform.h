// The test double of the platform: an in-memory registry and file system, a
// scripted power status and locale, a virtual clock behind Sleep, recorded
// window operations, software images for drawing, and scriptable WMI.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "res/StringTable.h"
#include "tests/fake/SoftwareImage.h"

namespace fake {

// One recorded platform call: what was called, when on the virtual clock.
struct Call {
    std::int64_t timeUs;
    std::string what;
};

struct MessageBoxCall {
    platform::WindowHandle owner;
    std::string text;
    std::string caption;
    unsigned type;
};

struct PostedMessage {
    platform::WindowHandle window;
    unsigned message;
    platform::Wparam wParam;
    platform::Lparam lParam;
    std::int64_t timeUs;
};

struct ProcessStart {
    std::string application;
    std::string commandLine;
    unsigned long flags;
    std::string directory;
    std::int64_t timeUs;
};

struct RegistryValue {
    unsigned long type;
    std::string data;  // the bytes as given
};

struct DrawTextCall {
    std::string text;
    platform::Rect rect;
    unsigned format;
    unsigned long color;
    int bkMode;
};

// Where a WMI query can be made to fail.
enum class WmiFailure {
    None,
    Locator,
    Connect,
    Enumeration,
    FetchTimeout,
    NoObjects,
    PropertyRead,
    Allocation,
};

struct ThreadEntryCall {
    platform::ThreadEntry entry;
    void* argument;
};

enum class ThreadMode {
    Inline,    // the entry runs to its end inside StartThread
    Deferred,  // the entry waits in pendingThreads until the test runs it
    Real,      // a real thread, detached
    Fail,      // the thread cannot be started
};

class FakePlatform final : public platform::Platform {
public:
    FakePlatform();
    ~FakePlatform() override;

    // ---- Scripted state -------------------------------------------------
    std::string commandLine = "\"C:\\Update\\BIOSUpdate.exe\"";
    std::optional<std::string> modulePath = std::string("C:\\Update\\BIOSUpdate.exe");
    std::set<std::string> existingMutexes;
    bool mutexFails = false;
    bool powerReadable = true;
    platform::PowerStatus power{1, 80};
    unsigned long systemLocale = 1033;
    UiLanguage uiLanguage = UiLanguage::English;
    std::set<unsigned> missingStrings;
    std::deque<int> messageBoxAnswers;  // empty: IDOK for MB_OK, IDYES otherwise
    platform::Hresult securityResult = 0;
    std::string programFiles = "C:\\Program Files";
    platform::Hresult programFilesResult = 0;
    std::set<std::string> deniedKeys;  // lower-case paths that cannot be opened or created
    bool processStartFails = false;
    std::int64_t processRunUs = 0;  // how long a started process runs
    // > 0: the started process hands off to a helper that runs this long.
    std::int64_t helperRunUs = 0;
    // Job steps that fail: "job", "port", "assign", "count", and "duplicate"
    // for the guard's duplication.
    std::set<std::string> jobFailures;
    bool jobMessagesLost = false;     // the port reports nothing
    std::set<unsigned> failingPosts;  // messages whose PostMessageA fails
    ThreadMode threadMode = ThreadMode::Inline;
    int screenWidth = 1024;
    int screenHeight = 768;
    bool iconic = false;
    bool dialogCreationFails = false;
    bool windowDcFails = false;

    // WMI: the instances of Win32_BIOS and the value each reports.
    std::vector<platform::Variant> biosInstances;
    WmiFailure wmiFailure = WmiFailure::None;
    // Bitmaps by resource id, loaded from files when first asked for.
    std::map<unsigned, std::string> bitmapFiles;

    // ---- What happened --------------------------------------------------
    std::vector<Call> calls;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<PostedMessage> posted;  // every post, in order
    std::vector<ProcessStart> processStarts;
    int resumes = 0;
    std::vector<DrawTextCall> drawnTexts;
    std::map<unsigned, unsigned> timers;  // armed timers: id -> interval
    std::vector<std::pair<unsigned, unsigned>> timersArmed;
    int quitRequests = 0;
    int invalidations = 0;
    unsigned addedErrorMode = 0;
    int coInitializeCalls = 0;
    int securityCalls = 0;
    unsigned long executionState = 0;
    int executionRequests = 0;
    int executionReleases = 0;
    std::u16string shutdownReason;
    int shutdownReasonsCreated = 0;
    int shutdownReasonsDestroyed = 0;
    std::vector<ThreadEntryCall> pendingThreads;
    SoftwareImage screen;  // what the window shows

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
    void AddFile(const std::string& path);
    bool DirectoryExists(const std::string& path) const;
    bool FileExists(const std::string& path) const;
    int OpenKeys() const { return static_cast<int>(openKeys_.size()); }
    int OpenKernelHandles() const { return static_cast<int>(openHandles_.size()); }

    // ---- Resources that must all be released -----------------------------
    int LiveGdiObjects() const;
    int LiveDcs() const;
    int GdiObjectsCreated() const { return gdiCreated_; }
    int LiveComObjects() const;
    int LiveBstrs() const { return static_cast<int>(bstrs_.size()); }
    int WindowDcsHeld() const { return windowDcsHeld_; }
    int PaintsOpen() const { return paintsOpen_; }

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

    // ---- platform::Platform ----------------------------------------------
    std::string GetCommandLineA() override;
    void AddErrorMode(unsigned flags) override;
    std::optional<std::string> GetModuleFileNameA() override;
    void InitCommonControls() override;
    platform::MutexResult CreateInstanceMutex(const std::string& name) override;
    bool DuplicateInstanceMutexInto(platform::KernelHandle process) override;
    bool GetSystemPowerStatus(platform::PowerStatus& status) override;
    unsigned long GetSystemDefaultLCID() override;
    void Sleep(unsigned long milliseconds) override;
    void RestrictDllSearchPath() override;
    bool LoadStringA(unsigned id, std::string& text) override;
    std::string AnsiFromUtf16(const std::u16string& text) override;
    std::u16string Utf16FromAnsi(const std::string& text) override;
    void MbsUpr(std::string& text) override;
    int MessageBoxA(platform::WindowHandle owner, const std::string& text,
                    const std::string& caption, unsigned type) override;
    void CoInitialize() override;
    platform::Hresult CoInitializeSecurity() override;
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
    bool RemoveDirectoryA(const std::string& path) override;
    bool CreateDirectoryA(const std::string& path) override;
    platform::Hresult SHGetFolderPathA(int csidl, unsigned flags, std::string& path) override;
    bool CreateProcessA(const std::string& application, std::string& commandLine,
                        unsigned long flags, const std::string& directory,
                        platform::ProcessInfo& info) override;
    unsigned long WaitForSingleObject(platform::KernelHandle handle,
                                      unsigned long milliseconds) override;
    void CloseHandle(platform::KernelHandle handle) override;
    unsigned long ResumeThread(platform::KernelHandle thread) override;
    platform::KernelHandle OpenProcess(unsigned long processId) override;
    platform::KernelHandle CreateJobObject() override;
    platform::KernelHandle CreateJobCompletionPort(platform::KernelHandle job) override;
    bool AssignProcessToJobObject(platform::KernelHandle job,
                                  platform::KernelHandle process) override;
    bool IsProcessInJob(platform::KernelHandle process, platform::KernelHandle job) override;
    bool GetJobActiveProcesses(platform::KernelHandle job, unsigned long& count) override;
    bool GetJobMessage(platform::KernelHandle port, unsigned long milliseconds,
                       unsigned long& message, unsigned long& processId) override;
    bool StartThread(platform::ThreadEntry entry, void* argument) override;
    std::unique_ptr<platform::Lock> CreateLock() override;
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
    bool InvalidateRect(platform::WindowHandle window, bool erase) override;
    bool SetWindowPos(platform::WindowHandle window, platform::ZOrder insertAfter, int x, int y,
                      int cx, int cy, unsigned flags) override;
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
    platform::Hresult CreateWbemLocator(platform::ComObject*& locator) override;
    platform::Hresult ConnectServer(platform::ComObject* locator, platform::Bstr nameSpace,
                                    platform::ComObject*& services) override;
    platform::Hresult CreateInstanceEnum(platform::ComObject* services, platform::Bstr className,
                                         long flags, platform::ComObject*& enumerator) override;
    platform::Hresult EnumNext(platform::ComObject* enumerator, long timeout, unsigned long count,
                               platform::ComObject*& object, unsigned long& returned) override;
    platform::Hresult GetProperty(platform::ComObject* object, platform::Bstr name, long flags,
                                  platform::Variant& value) override;
    void Release(platform::ComObject* object) override;
    platform::Bstr SysAllocString(const std::u16string& text) override;
    void SysFreeString(platform::Bstr text) override;
    void VariantClear(platform::Variant& value) override;

private:
    struct Key {
        platform::RegistryRoot root;
        std::string path;  // lower case
        bool operator<(const Key& other) const;
    };
    struct Dc;
    struct Process {
        std::int64_t endUs;  // INT64_MAX while suspended
        platform::KernelHandle job;
        bool helper;
    };
    struct JobMessage {
        std::int64_t timeUs;
        unsigned long message;
        unsigned long processId;
    };
    struct Bitmap;
    struct ComNode;

    void Record(const std::string& what);
    Key MakeKey(platform::RegistryRoot root, const std::string& path) const;
    platform::KernelHandle NewHandle();
    platform::KernelHandle NewHandle(const std::string& kind);
    void Report(platform::KernelHandle job, std::int64_t timeUs, unsigned long message,
                unsigned long processId);
    unsigned long StartProcess(platform::KernelHandle job, bool helper);
    void RunProcess(unsigned long processId);
    ComNode* NewCom(int kind, std::size_t instance);
    Dc* AsDc(platform::DcHandle dc) const;

    mutable std::recursive_mutex mutex_;
    std::int64_t nowUs_ = 0;
    std::map<Key, std::map<std::string, RegistryValue>> registry_;
    std::map<platform::KeyHandle, Key> openKeys_;
    std::set<std::string> directories_;  // lower case
    std::set<std::string> files_;        // lower case
    std::set<platform::KernelHandle> openHandles_;
    std::map<unsigned long, Process> processes_;                      // by id
    std::map<platform::KernelHandle, unsigned long> processHandles_;  // process and thread handles
    std::map<platform::KernelHandle, std::string> handleKinds_;
    std::map<platform::KernelHandle, platform::KernelHandle> ports_;  // job -> port
    std::map<platform::KernelHandle, std::vector<JobMessage>> portMessages_;
    unsigned long nextProcessId_ = 100;
    std::uintptr_t nextHandle_ = 0x1000;
    std::set<Dc*> dcs_;
    std::set<Bitmap*> bitmaps_;
    std::map<unsigned, SoftwareImage> bitmapCache_;
    int gdiCreated_ = 0;
    int windowDcsHeld_ = 0;
    int paintsOpen_ = 0;
    std::set<ComNode*> comObjects_;
    std::set<platform::Bstr> bstrs_;
    platform::DialogHost* dialog_ = nullptr;
    std::deque<PostedMessage> queue_;
    std::map<unsigned, std::int64_t> timerDue_;
    bool destroyed_ = false;
    bool quitPending_ = false;
};

}  // namespace fake
