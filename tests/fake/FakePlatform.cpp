#include "tests/fake/FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/Win32Constants.h"
#include "tests/fake/Utf.h"

namespace fake {

using platform::Hresult;
using platform::RegistryRoot;

namespace {

constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr Hresult kClassNotRegistered = static_cast<Hresult>(0x80040154);
constexpr Hresult kInvalidNamespace = static_cast<Hresult>(0x8004100E);
constexpr Hresult kInvalidClass = static_cast<Hresult>(0x80041010);
constexpr Hresult kNotFound = static_cast<Hresult>(0x80041002);
constexpr Hresult kTimedOut = 0x40004;
constexpr Hresult kFalse = 1;
constexpr platform::Lresult kDefaultResult = 0x5EED;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsDriveRoot(const std::string& path) { return path.size() == 2 && path[1] == ':'; }

}  // namespace

struct FakePlatform::Bitmap {
    SoftwareImage image;
    bool brush = false;
    unsigned long color = 0;
};

struct FakePlatform::Dc {
    bool window = false;
    Bitmap* selected = nullptr;
    unsigned long textColor = 0;
    unsigned long bkColor = Rgb(255, 255, 255);
    int bkMode = 2;  // OPAQUE
};

struct FakePlatform::ComNode {
    int kind;              // 0 locator, 1 services, 2 enumerator, 3 object
    std::size_t instance;  // enumerator position or object index
    int refs = 1;
};

namespace {
// What a fresh memory context holds before anything is selected into it.
char stockBitmapTag;
platform::GdiObject StockBitmap() { return reinterpret_cast<platform::GdiObject>(&stockBitmapTag); }

class FakeLock final : public platform::Lock {
public:
    void Enter() override { mutex_.lock(); }
    void Leave() override { mutex_.unlock(); }

private:
    std::mutex mutex_;
};
}  // namespace

bool FakePlatform::Key::operator<(const Key& other) const {
    if (root != other.root) return root < other.root;
    return path < other.path;
}

FakePlatform::FakePlatform() {
    AddDirectory("C:\\Update");
    AddDirectory("C:\\Program Files");
    platform::Variant version;
    version.type = platform::Variant::Type::String;
    version.text = u"K38KRPA23";
    biosInstances.push_back(version);
}

FakePlatform::~FakePlatform() {
    for (Dc* dc : dcs_) delete dc;
    for (Bitmap* bitmap : bitmaps_) delete bitmap;
    for (ComNode* node : comObjects_) delete node;
    for (platform::Bstr text : bstrs_) delete[] text;
}

platform::WindowHandle FakePlatform::DialogWindow() {
    return reinterpret_cast<platform::WindowHandle>(static_cast<std::uintptr_t>(0x100));
}

void FakePlatform::Record(const std::string& what) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    calls.push_back(Call{nowUs_, what});
}

std::int64_t FakePlatform::NowUs() const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return nowUs_;
}

void FakePlatform::AdvanceUs(std::int64_t us) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    nowUs_ += us;
}

std::vector<Call> FakePlatform::CallsStartingWith(const std::string& prefix) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.what.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    }
    return found;
}

int FakePlatform::CountCalls(const std::string& prefix) const {
    return static_cast<int>(CallsStartingWith(prefix).size());
}

void FakePlatform::RunPendingThreads() {
    while (!pendingThreads.empty()) {
        ThreadEntryCall next = pendingThreads.front();
        pendingThreads.erase(pendingThreads.begin());
        next.entry(next.argument);
    }
}

// ---- Process and start-up ----------------------------------------------------

std::string FakePlatform::GetCommandLineA() { return commandLine; }

void FakePlatform::AddErrorMode(unsigned flags) { addedErrorMode |= flags; }

std::optional<std::string> FakePlatform::GetModuleFileNameA() { return modulePath; }

void FakePlatform::InitCommonControls() { Record("InitCommonControls"); }

platform::MutexResult FakePlatform::CreateInstanceMutex(const std::string& name) {
    Record("CreateMutex " + name);
    if (mutexFails) return platform::MutexResult::Failed;
    if (!existingMutexes.insert(name).second) return platform::MutexResult::AlreadyExists;
    return platform::MutexResult::Created;
}

bool FakePlatform::DuplicateInstanceMutexInto(platform::KernelHandle process) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto id = processHandles_.find(process);
    const bool live = openHandles_.count(process) && id != processHandles_.end() &&
                      handleKinds_[process] == "process";
    if (!live) {
        Record("DuplicateInstanceMutexInto other");
        return false;
    }
    Record(processes_[id->second].helper ? "DuplicateInstanceMutexInto helper"
                                         : "DuplicateInstanceMutexInto process");
    return !jobFailures.count("duplicate");
}

bool FakePlatform::GetSystemPowerStatus(platform::PowerStatus& status) {
    Record("GetSystemPowerStatus");
    if (powerReadable) status = power;
    return powerReadable;
}

unsigned long FakePlatform::GetSystemDefaultLCID() { return systemLocale; }

void FakePlatform::Sleep(unsigned long milliseconds) {
    Record("Sleep " + std::to_string(milliseconds));
    AdvanceUs(static_cast<std::int64_t>(milliseconds) * 1000);
}

void FakePlatform::RestrictDllSearchPath() { Record("RestrictDllSearchPath"); }

// ---- Text --------------------------------------------------------------------

bool FakePlatform::LoadStringA(unsigned id, std::string& text) {
    Record("LoadString " + std::to_string(id));
    if (missingStrings.count(id)) return false;
    const char* found = FindString(id, uiLanguage);
    if (!found || !*found) return false;
    text = found;
    return true;
}

// The double's ANSI code page is UTF-8.
std::string FakePlatform::AnsiFromUtf16(const std::u16string& text) { return Utf8FromUtf16(text); }

std::u16string FakePlatform::Utf16FromAnsi(const std::string& text) { return Utf16FromUtf8(text); }

void FakePlatform::MbsUpr(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

int FakePlatform::MessageBoxA(platform::WindowHandle owner, const std::string& text,
                              const std::string& caption, unsigned type) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("MessageBox " + caption);
    messageBoxes.push_back(MessageBoxCall{owner, text, caption, type});
    if (!messageBoxAnswers.empty()) {
        int answer = messageBoxAnswers.front();
        messageBoxAnswers.pop_front();
        return answer;
    }
    return (type & 0xF) == win::MB_YESNO ? win::IDYES : 1;
}

void FakePlatform::CoInitialize() {
    Record("CoInitialize");
    ++coInitializeCalls;
}

Hresult FakePlatform::CoInitializeSecurity() {
    Record("CoInitializeSecurity");
    ++securityCalls;
    return securityResult;
}

// ---- Registry ----------------------------------------------------------------

FakePlatform::Key FakePlatform::MakeKey(RegistryRoot root, const std::string& path) const {
    return Key{root, Lower(path)};
}

void FakePlatform::SetRegistryValue(RegistryRoot root, const std::string& key,
                                    const std::string& name, const RegistryValue& value) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    registry_[MakeKey(root, key)][Lower(name)] = value;
}

const RegistryValue* FakePlatform::FindRegistryValue(RegistryRoot root, const std::string& key,
                                                     const std::string& name) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto found = registry_.find(MakeKey(root, key));
    if (found == registry_.end()) return nullptr;
    auto value = found->second.find(Lower(name));
    return value == found->second.end() ? nullptr : &value->second;
}

bool FakePlatform::KeyExists(RegistryRoot root, const std::string& key) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return registry_.count(MakeKey(root, key)) != 0;
}

long FakePlatform::RegOpenKeyExA(RegistryRoot root, const std::string& subKey,
                                 unsigned long options, unsigned long access,
                                 platform::KeyHandle& key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegOpenKeyEx " + subKey + " options=" + std::to_string(options) +
           " access=" + std::to_string(access));
    key = nullptr;
    const Key wanted = MakeKey(root, subKey);
    if (deniedKeys.count(wanted.path)) return kErrorAccessDenied;
    if (!registry_.count(wanted)) return kErrorFileNotFound;
    key = reinterpret_cast<platform::KeyHandle>(NewHandle());
    openKeys_[key] = wanted;
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegCreateKeyA(RegistryRoot root, const std::string& subKey,
                                 platform::KeyHandle& key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegCreateKey " + subKey);
    key = nullptr;
    const Key wanted = MakeKey(root, subKey);
    if (deniedKeys.count(wanted.path)) return kErrorAccessDenied;
    for (std::string path = wanted.path; !path.empty(); path = ParentOf(path)) {
        registry_[Key{root, path}];
    }
    key = reinterpret_cast<platform::KeyHandle>(NewHandle());
    openKeys_[key] = wanted;
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegSetValueExA(platform::KeyHandle key, const std::string& name,
                                  unsigned long type, const void* data, unsigned long size) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegSetValueEx " + name + " size=" + std::to_string(size));
    auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return kErrorInvalidHandle;
    registry_[open->second][Lower(name)] =
        RegistryValue{type, std::string(static_cast<const char*>(data), size)};
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegCloseKey(platform::KeyHandle key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegCloseKey");
    if (!openKeys_.erase(key)) return kErrorInvalidHandle;
    openHandles_.erase(reinterpret_cast<platform::KernelHandle>(key));
    return win::ERROR_SUCCESS;
}

long FakePlatform::SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                                  const std::string& value) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("SHDeleteValue " + subKey + " " + value);
    auto key = registry_.find(MakeKey(root, subKey));
    if (key == registry_.end() || !key->second.erase(Lower(value))) return kErrorFileNotFound;
    return win::ERROR_SUCCESS;
}

// ---- Files -------------------------------------------------------------------

void FakePlatform::AddDirectory(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    for (std::string p = Lower(path); !p.empty() && !IsDriveRoot(p); p = ParentOf(p)) {
        directories_.insert(p);
    }
}

void FakePlatform::AddFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    AddDirectory(ParentOf(path));
    files_.insert(Lower(path));
}

bool FakePlatform::DirectoryExists(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return directories_.count(Lower(path)) != 0;
}

bool FakePlatform::FileExists(const std::string& path) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return files_.count(Lower(path)) != 0;
}

bool FakePlatform::RemoveDirectoryA(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RemoveDirectory " + path);
    const std::string dir = Lower(path);
    if (!directories_.count(dir)) return false;
    const std::string inside = dir + "\\";
    auto holds = [&](const std::set<std::string>& entries) {
        auto next = entries.lower_bound(inside);
        return next != entries.end() && next->compare(0, inside.size(), inside) == 0;
    };
    if (holds(files_) || holds(directories_)) return false;
    directories_.erase(dir);
    return true;
}

bool FakePlatform::CreateDirectoryA(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateDirectory " + path);
    const std::string dir = Lower(path);
    const std::string parent = ParentOf(dir);
    if (directories_.count(dir) || files_.count(dir)) return false;
    if (!IsDriveRoot(parent) && !directories_.count(parent)) return false;
    directories_.insert(dir);
    return true;
}

Hresult FakePlatform::SHGetFolderPathA(int csidl, unsigned flags, std::string& path) {
    Record("SHGetFolderPath " + std::to_string(csidl) + " " + std::to_string(flags));
    path = programFiles.substr(0, 259);
    return programFilesResult;
}

// ---- Processes and threads ---------------------------------------------------

platform::KernelHandle FakePlatform::NewHandle() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    nextHandle_ += 4;
    platform::KernelHandle handle = reinterpret_cast<platform::KernelHandle>(nextHandle_);
    openHandles_.insert(handle);
    return handle;
}

bool FakePlatform::CreateProcessA(const std::string& application, std::string& commandLine,
                                  unsigned long flags, const std::string& directory,
                                  platform::ProcessInfo& info) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("CreateProcess " + commandLine);
    processStarts.push_back(ProcessStart{application, commandLine, flags, directory, nowUs_});
    if (processStartFails || !FileExists(application)) return false;
    info.processId = StartProcess(nullptr, false);
    info.process = NewHandle("process");
    info.thread = NewHandle("thread");
    processHandles_[info.process] = info.processId;
    processHandles_[info.thread] = info.processId;
    if (!(flags & win::CREATE_SUSPENDED)) RunProcess(info.processId);
    return true;
}

unsigned long FakePlatform::WaitForSingleObject(platform::KernelHandle handle,
                                                unsigned long milliseconds) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("WaitForSingleObject " + std::to_string(milliseconds));
    auto id = processHandles_.find(handle);
    if (id == processHandles_.end()) return 0xFFFFFFFF;
    const std::int64_t end = processes_[id->second].endUs;
    if (end == INT64_MAX) return 0x102;  // suspended: it would never end
    if (end > nowUs_) nowUs_ = end;
    return 0;
}

void FakePlatform::CloseHandle(platform::KernelHandle handle) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto kind = handleKinds_.find(handle);
    Record("CloseHandle " + (kind == handleKinds_.end() ? std::string("other") : kind->second));
    openHandles_.erase(handle);
}

bool FakePlatform::StartThread(platform::ThreadEntry entry, void* argument) {
    Record("StartThread");
    switch (threadMode) {
        case ThreadMode::Inline:
            entry(argument);
            return true;
        case ThreadMode::Deferred:
            pendingThreads.push_back(ThreadEntryCall{entry, argument});
            return true;
        case ThreadMode::Real:
            std::thread(entry, argument).detach();
            return true;
        case ThreadMode::Fail:
            return false;
    }
    return false;
}

std::unique_ptr<platform::Lock> FakePlatform::CreateLock() { return std::make_unique<FakeLock>(); }

// ---- Windows -----------------------------------------------------------------

void FakePlatform::RunModalDialog(unsigned templateId, platform::DialogHost& host) {
    Record("RunModalDialog " + std::to_string(templateId));
    if (dialogCreationFails) return;
    dialog_ = &host;
    destroyed_ = false;
    quitPending_ = false;
    host.HandleInitDialog(DialogWindow());
    // The UI loop: posted messages first, then a quit request; when idle,
    // the next timer is due.
    for (int turns = 0; !destroyed_ && turns < 1000000; ++turns) {
        if (!queue_.empty()) {
            PostedMessage next = queue_.front();
            queue_.pop_front();
            if (next.message == win::WM_QUIT) {
                if (host.HandleQuit()) break;
                continue;
            }
            platform::QueuedMessage msg{next.window, next.message, next.wParam, next.lParam};
            if (!host.HandlePreTranslate(msg))
                host.HandleMessage(msg.message, msg.wParam, msg.lParam);
            continue;
        }
        if (quitPending_) {
            quitPending_ = false;
            if (host.HandleQuit()) break;
            continue;
        }
        if (!pendingThreads.empty()) {
            RunPendingThreads();
            continue;
        }
        if (timerDue_.empty()) {
            Record("UI loop stalled");
            break;
        }
        auto earliest =
            std::min_element(timerDue_.begin(), timerDue_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        const unsigned id = earliest->first;
        if (earliest->second > nowUs_) nowUs_ = earliest->second;
        earliest->second = nowUs_ + static_cast<std::int64_t>(timers[id]) * 1000;
        queue_.push_back(PostedMessage{DialogWindow(), win::WM_TIMER, id, 0, nowUs_});
    }
    host.HandleDestroyed();
    timers.clear();
    timerDue_.clear();
    queue_.clear();
    dialog_ = nullptr;
}

platform::Lresult FakePlatform::DefaultWindowProc(platform::WindowHandle, unsigned message,
                                                  platform::Wparam, platform::Lparam) {
    Record("Default " + std::to_string(message));
    return kDefaultResult;
}

void FakePlatform::EndDialog(platform::WindowHandle) {
    Record("EndDialog");
    destroyed_ = true;
}

bool FakePlatform::IsDialogMessage(platform::WindowHandle, const platform::QueuedMessage& msg) {
    Record("IsDialogMessage " + std::to_string(msg.message));
    return false;
}

platform::Lresult FakePlatform::SendMessageA(platform::WindowHandle window, unsigned message,
                                             platform::Wparam wParam, platform::Lparam lParam) {
    Record("SendMessage " + std::to_string(message) + " " + std::to_string(wParam));
    if (dialog_ && window == DialogWindow()) return dialog_->HandleMessage(message, wParam, lParam);
    return 0;
}

bool FakePlatform::PostMessageA(platform::WindowHandle window, unsigned message,
                                platform::Wparam wParam, platform::Lparam lParam) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    if (failingPosts.count(message)) {
        Record("PostMessage " + std::to_string(message) + " failed");
        return false;
    }
    Record("PostMessage " + std::to_string(message));
    posted.push_back(PostedMessage{window, message, wParam, lParam, nowUs_});
    queue_.push_back(posted.back());
    return true;
}

void FakePlatform::PostQuitMessage(int exitCode) {
    Record("PostQuitMessage " + std::to_string(exitCode));
    ++quitRequests;
    quitPending_ = true;
}

bool FakePlatform::TakeQuitRequest() {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto quit = std::find_if(queue_.begin(), queue_.end(),
                             [](const PostedMessage& m) { return m.message == win::WM_QUIT; });
    if (quit != queue_.end()) {
        queue_.erase(quit);
        return true;
    }
    const bool pending = quitPending_;
    quitPending_ = false;
    return pending;
}

void FakePlatform::PostFromOutside(platform::WindowHandle window, unsigned message,
                                   platform::Wparam wParam, platform::Lparam lParam) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    queue_.push_back(PostedMessage{window, message, wParam, lParam, nowUs_});
}

bool FakePlatform::SetTimer(platform::WindowHandle, unsigned id, unsigned milliseconds) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("SetTimer " + std::to_string(id) + " " + std::to_string(milliseconds));
    timers[id] = milliseconds;
    timersArmed.emplace_back(id, milliseconds);
    timerDue_[id] = nowUs_ + static_cast<std::int64_t>(milliseconds) * 1000;
    return true;
}

bool FakePlatform::KillTimer(platform::WindowHandle, unsigned id) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("KillTimer " + std::to_string(id));
    timerDue_.erase(id);
    return timers.erase(id) != 0;
}

bool FakePlatform::InvalidateRect(platform::WindowHandle, bool erase) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record(erase ? "InvalidateRect erase" : "InvalidateRect");
    ++invalidations;
    return true;
}

bool FakePlatform::SetWindowPos(platform::WindowHandle, platform::ZOrder, int x, int y, int cx,
                                int cy, unsigned flags) {
    Record("SetWindowPos topmost " + std::to_string(x) + "," + std::to_string(y) + " " +
           std::to_string(cx) + "x" + std::to_string(cy) + " flags=" + std::to_string(flags));
    return true;
}

int FakePlatform::GetSystemMetrics(int index) {
    switch (index) {
        case win::SM_CXSCREEN:
            return screenWidth;
        case win::SM_CYSCREEN:
            return screenHeight;
        case win::SM_CXICON:
        case win::SM_CYICON:
            return 32;
        default:
            return 0;
    }
}

bool FakePlatform::SetWindowTextA(platform::WindowHandle, const std::string& text) {
    Record("SetWindowText " + text);
    return true;
}

void FakePlatform::ModifyStyleEx(platform::WindowHandle, unsigned long remove, unsigned long add) {
    Record("ModifyStyleEx -" + std::to_string(remove) + " +" + std::to_string(add));
}

void FakePlatform::CenterWindow(platform::WindowHandle) { Record("CenterWindow"); }

bool FakePlatform::IsIconic(platform::WindowHandle) { return iconic; }

bool FakePlatform::ShowWindow(platform::WindowHandle, int command) {
    Record("ShowWindow " + std::to_string(command));
    if (command == win::SW_RESTORE) iconic = false;
    return true;
}

platform::Rect FakePlatform::GetClientRect(platform::WindowHandle) {
    return iconic ? platform::Rect{0, 0, 160, 28} : platform::Rect{0, 0, screenWidth, screenHeight};
}

platform::IconHandle FakePlatform::LoadIconA(unsigned id) {
    Record("LoadIcon " + std::to_string(id));
    return reinterpret_cast<platform::IconHandle>(static_cast<std::uintptr_t>(0x2000 + id));
}

unsigned long FakePlatform::SetThreadExecutionState(unsigned long flags) {
    Record("SetThreadExecutionState " + std::to_string(flags));
    unsigned long previous = executionState;
    executionState = flags;
    if (flags == win::ES_CONTINUOUS)
        ++executionReleases;
    else
        ++executionRequests;
    return previous;
}

bool FakePlatform::ShutdownBlockReasonCreate(platform::WindowHandle, const std::u16string& reason) {
    Record("ShutdownBlockReasonCreate");
    shutdownReason = reason;
    ++shutdownReasonsCreated;
    return true;
}

bool FakePlatform::ShutdownBlockReasonDestroy(platform::WindowHandle) {
    Record("ShutdownBlockReasonDestroy");
    ++shutdownReasonsDestroyed;
    return true;
}

// ---- Drawing -----------------------------------------------------------------

FakePlatform::Dc* FakePlatform::AsDc(platform::DcHandle dc) const {
    Dc* found = reinterpret_cast<Dc*>(dc);
    return dcs_.count(found) ? found : nullptr;
}

platform::DcHandle FakePlatform::BeginPaint(platform::WindowHandle, platform::PaintStruct& paint) {
    Record("BeginPaint");
    ++paintsOpen_;
    Dc* dc = new Dc{};
    dc->window = true;
    dcs_.insert(dc);
    std::memcpy(paint.storage, &dc, sizeof dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

void FakePlatform::EndPaint(platform::WindowHandle, platform::PaintStruct& paint) {
    Record("EndPaint");
    --paintsOpen_;
    Dc* dc = nullptr;
    std::memcpy(&dc, paint.storage, sizeof dc);
    dcs_.erase(dc);
    delete dc;
}

platform::DcHandle FakePlatform::GetDC(platform::WindowHandle) {
    Record("GetDC");
    if (windowDcFails) return nullptr;
    if (screen.width != screenWidth || screen.height != screenHeight) {
        screen = SoftwareImage(screenWidth, screenHeight);
    }
    ++windowDcsHeld_;
    Dc* dc = new Dc{};
    dc->window = true;
    dcs_.insert(dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

void FakePlatform::ReleaseDC(platform::WindowHandle, platform::DcHandle handle) {
    Record("ReleaseDC");
    Dc* dc = AsDc(handle);
    if (!dc || !dc->window) return;
    --windowDcsHeld_;
    dcs_.erase(dc);
    delete dc;
}

platform::GdiObject FakePlatform::LoadBitmapA(unsigned id) {
    Record("LoadBitmap " + std::to_string(id));
    auto file = bitmapFiles.find(id);
    if (file == bitmapFiles.end()) return nullptr;
    if (!bitmapCache_.count(id)) bitmapCache_[id] = LoadBmp(file->second);
    if (bitmapCache_[id].width == 0) return nullptr;
    Bitmap* bitmap = new Bitmap{bitmapCache_[id]};
    bitmaps_.insert(bitmap);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(bitmap);
}

platform::GdiObject FakePlatform::CreateCompatibleBitmap(platform::DcHandle, int width,
                                                         int height) {
    Record("CreateCompatibleBitmap " + std::to_string(width) + "x" + std::to_string(height));
    Bitmap* bitmap = new Bitmap{SoftwareImage(width, height)};
    bitmaps_.insert(bitmap);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(bitmap);
}

platform::DcHandle FakePlatform::CreateCompatibleDC(platform::DcHandle) {
    Record("CreateCompatibleDC");
    Dc* dc = new Dc{};
    dcs_.insert(dc);
    return reinterpret_cast<platform::DcHandle>(dc);
}

platform::GdiObject FakePlatform::SelectObject(platform::DcHandle handle,
                                               platform::GdiObject object) {
    Record("SelectObject");
    Dc* dc = AsDc(handle);
    if (!dc) return nullptr;
    platform::GdiObject previous =
        dc->selected ? reinterpret_cast<platform::GdiObject>(dc->selected) : StockBitmap();
    if (object == StockBitmap()) {
        dc->selected = nullptr;
    } else {
        Bitmap* bitmap = reinterpret_cast<Bitmap*>(object);
        if (!bitmaps_.count(bitmap)) return nullptr;
        dc->selected = bitmap;
    }
    return previous;
}

bool FakePlatform::DeleteDC(platform::DcHandle handle) {
    Record("DeleteDC");
    Dc* dc = AsDc(handle);
    if (!dc || dc->window) return false;
    dcs_.erase(dc);
    delete dc;
    return true;
}

bool FakePlatform::DeleteObject(platform::GdiObject object) {
    Record("DeleteObject");
    Bitmap* bitmap = reinterpret_cast<Bitmap*>(object);
    if (!bitmaps_.count(bitmap)) return false;
    for (Dc* dc : dcs_) {
        if (dc->selected == bitmap) return false;  // GDI refuses to delete a selected bitmap
    }
    bitmaps_.erase(bitmap);
    delete bitmap;
    return true;
}

platform::GdiObject FakePlatform::CreateSolidBrush(unsigned long color) {
    Record("CreateSolidBrush " + std::to_string(color));
    Bitmap* brush = new Bitmap{};
    brush->brush = true;
    brush->color = color;
    bitmaps_.insert(brush);
    ++gdiCreated_;
    return reinterpret_cast<platform::GdiObject>(brush);
}

bool FakePlatform::BitBlt(platform::DcHandle target, int x, int y, int width, int height,
                          platform::DcHandle source, int sourceX, int sourceY, unsigned rop) {
    Record("BitBlt " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
           "x" + std::to_string(height) + " from " + std::to_string(sourceX) + "," +
           std::to_string(sourceY) + " rop=" + std::to_string(rop));
    Dc* to = AsDc(target);
    Dc* from = AsDc(source);
    if (!to || !from || !from->selected || from->selected->brush) return false;
    SoftwareImage* surface = to->window ? &screen : (to->selected ? &to->selected->image : nullptr);
    if (!surface) return false;
    const SoftwareImage& pixels = from->selected->image;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int sx = sourceX + column;
            const int sy = sourceY + row;
            if (pixels.Contains(sx, sy) && surface->Contains(x + column, y + row)) {
                surface->Set(x + column, y + row, pixels.At(sx, sy));
            }
        }
    }
    return true;
}

unsigned long FakePlatform::SetTextColor(platform::DcHandle handle, unsigned long color) {
    Dc* dc = AsDc(handle);
    if (!dc) return 0xFFFFFFFF;
    unsigned long previous = dc->textColor;
    dc->textColor = color;
    return previous;
}

unsigned long FakePlatform::SetBkColor(platform::DcHandle handle, unsigned long color) {
    Record("SetBkColor " + std::to_string(color));
    Dc* dc = AsDc(handle);
    if (!dc) return 0xFFFFFFFF;
    unsigned long previous = dc->bkColor;
    dc->bkColor = color;
    return previous;
}

int FakePlatform::SetBkMode(platform::DcHandle handle, int mode) {
    Dc* dc = AsDc(handle);
    if (!dc) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int FakePlatform::DrawTextA(platform::DcHandle handle, const std::string& text,
                            platform::Rect& rect, unsigned format) {
    Record("DrawText " + text);
    Dc* dc = AsDc(handle);
    if (!dc) return 0;
    drawnTexts.push_back(DrawTextCall{text, rect, format, dc->textColor, dc->bkMode});
    SoftwareImage* surface = dc->window ? &screen : (dc->selected ? &dc->selected->image : nullptr);
    if (surface) {
        const unsigned long c = dc->textColor;  // 0x00BBGGRR
        DrawTextPattern(*surface, text, rect.left, rect.top, rect.right, rect.bottom,
                        RgbPixel(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
    return 16;
}

bool FakePlatform::DrawIcon(platform::DcHandle, int x, int y, platform::IconHandle) {
    Record("DrawIcon " + std::to_string(x) + "," + std::to_string(y));
    return true;
}

int FakePlatform::LiveGdiObjects() const { return static_cast<int>(bitmaps_.size()); }

int FakePlatform::LiveDcs() const { return static_cast<int>(dcs_.size()); }

// ---- WMI ---------------------------------------------------------------------

FakePlatform::ComNode* FakePlatform::NewCom(int kind, std::size_t instance) {
    ComNode* node = new ComNode{kind, instance};
    comObjects_.insert(node);
    return node;
}

int FakePlatform::LiveComObjects() const { return static_cast<int>(comObjects_.size()); }

Hresult FakePlatform::CreateWbemLocator(platform::ComObject*& locator) {
    Record("CreateWbemLocator");
    if (wmiFailure == WmiFailure::Locator) {
        locator = nullptr;
        return kClassNotRegistered;
    }
    locator = reinterpret_cast<platform::ComObject*>(NewCom(0, 0));
    return 0;
}

Hresult FakePlatform::ConnectServer(platform::ComObject* locator, platform::Bstr nameSpace,
                                    platform::ComObject*& services) {
    const std::u16string path = bstrs_.count(nameSpace) ? std::u16string(nameSpace) : u"";
    Record("ConnectServer " + Utf8FromUtf16(path));
    services = nullptr;
    if (!comObjects_.count(reinterpret_cast<ComNode*>(locator))) return kInvalidNamespace;
    if (wmiFailure == WmiFailure::Connect || path != u"\\\\.\\root\\cimv2") {
        return kInvalidNamespace;
    }
    services = reinterpret_cast<platform::ComObject*>(NewCom(1, 0));
    return 0;
}

Hresult FakePlatform::CreateInstanceEnum(platform::ComObject* services, platform::Bstr className,
                                         long flags, platform::ComObject*& enumerator) {
    Record("CreateInstanceEnum flags=" + std::to_string(flags));
    enumerator = nullptr;
    if (!comObjects_.count(reinterpret_cast<ComNode*>(services)) || !bstrs_.count(className)) {
        return kInvalidClass;
    }
    if (wmiFailure == WmiFailure::Enumeration || std::u16string(className) != u"Win32_BIOS") {
        return kInvalidClass;
    }
    enumerator = reinterpret_cast<platform::ComObject*>(NewCom(2, 0));
    return 0;
}

Hresult FakePlatform::EnumNext(platform::ComObject* enumerator, long timeout, unsigned long count,
                               platform::ComObject*& object, unsigned long& returned) {
    Record("EnumNext timeout=" + std::to_string(timeout) + " count=" + std::to_string(count));
    object = nullptr;
    returned = 0;
    ComNode* node = reinterpret_cast<ComNode*>(enumerator);
    if (!comObjects_.count(node)) return kInvalidClass;
    if (wmiFailure == WmiFailure::FetchTimeout) return kTimedOut;
    if (wmiFailure == WmiFailure::NoObjects || node->instance >= biosInstances.size())
        return kFalse;
    object = reinterpret_cast<platform::ComObject*>(NewCom(3, node->instance++));
    returned = 1;
    return 0;
}

Hresult FakePlatform::GetProperty(platform::ComObject* object, platform::Bstr name, long flags,
                                  platform::Variant& value) {
    Record("GetProperty flags=" + std::to_string(flags));
    ComNode* node = reinterpret_cast<ComNode*>(object);
    if (!comObjects_.count(node) || !bstrs_.count(name)) return kNotFound;
    if (wmiFailure == WmiFailure::PropertyRead || std::u16string(name) != u"SMBIOSBIOSVersion") {
        return kNotFound;
    }
    value = biosInstances[node->instance];
    return 0;
}

void FakePlatform::Release(platform::ComObject* object) {
    Record("Release");
    ComNode* node = reinterpret_cast<ComNode*>(object);
    if (!comObjects_.count(node)) return;
    if (--node->refs == 0) {
        comObjects_.erase(node);
        delete node;
    }
}

platform::Bstr FakePlatform::SysAllocString(const std::u16string& text) {
    if (wmiFailure == WmiFailure::Allocation) return nullptr;
    platform::Bstr copy = new char16_t[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = u'\0';
    bstrs_.insert(copy);
    return copy;
}

void FakePlatform::SysFreeString(platform::Bstr text) {
    if (bstrs_.erase(text)) delete[] text;
}

void FakePlatform::VariantClear(platform::Variant& value) {
    Record("VariantClear");
    value = platform::Variant{};
}

}  // namespace fake
