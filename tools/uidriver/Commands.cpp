#include "tools/uidriver/Commands.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tools/uidriver/Output.h"
#include "tools/uidriver/Probe.h"
#include "tools/uidriver/Registry.h"
#include "tools/uidriver/WindowList.h"

namespace uidriver {

namespace {

const UINT kSendTimeoutMs = 10000;
const int kMessageBoxTextId = 0xFFFF;

struct Named {
    const wchar_t* name;
    unsigned long value;
};

const Named kMessages[] = {
    {L"close", WM_CLOSE},
    {L"powerbroadcast", WM_POWERBROADCAST},
    {L"queryendsession", WM_QUERYENDSESSION},
    {L"endsession", WM_ENDSESSION},
    {L"syscommand", WM_SYSCOMMAND},
    {L"command", WM_COMMAND},
    {L"timer", WM_TIMER},
    {L"paint", WM_PAINT},
};

const Named kShowCommands[] = {
    {L"minimize", SW_MINIMIZE},
    {L"hide", SW_HIDE},
    {L"restore", SW_RESTORE},
};

const Named kJobLimits[] = {
    {L"none", 0},
    {L"breakaway", JOB_OBJECT_LIMIT_BREAKAWAY_OK},
};

const Named kButtons[] = {
    {L"ok", IDOK},
    {L"cancel", IDCANCEL},
    {L"yes", IDYES},
    {L"no", IDNO},
};

// A name from the table, or a number (decimal, or hex with 0x).
bool ParseValue(const std::wstring& text, const Named* table, size_t count, unsigned long* value) {
    for (size_t i = 0; i < count; ++i) {
        if (text == table[i].name) {
            *value = table[i].value;
            return true;
        }
    }
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    *value = std::wcstoul(text.c_str(), &end, 0);
    return *end == L'\0';
}

template <size_t N>
bool ParseNamed(const std::wstring& text, const Named (&table)[N], unsigned long* value) {
    return ParseValue(text, table, N, value);
}

// A window handle, an answer or a message number, whole on both builds.
std::string Hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", value);
    return text;
}

std::string DescribeWindow(const WindowInfo& w) {
    char head[256];
    std::snprintf(head, sizeof head, "%s\t%lu\t%d\t%ld,%ld,%ld,%ld\t0x%08lX\t0x%08lX\t%s\t",
                  Hex(reinterpret_cast<ULONG_PTR>(w.hwnd)).c_str(),
                  static_cast<unsigned long>(w.pid), w.visible ? 1 : 0, w.rect.left, w.rect.top,
                  w.rect.right, w.rect.bottom, static_cast<unsigned long>(w.style),
                  static_cast<unsigned long>(w.exStyle),
                  Hex(reinterpret_cast<ULONG_PTR>(GetWindow(w.hwnd, GW_OWNER))).c_str());
    return head + ToUtf8(w.className) + "\t" + ToUtf8(w.title) + "\n";
}

BOOL CALLBACK FindTextStatic(HWND child, LPARAM param) {
    if (LOWORD(GetWindowLongPtrW(child, GWLP_ID)) != kMessageBoxTextId) return TRUE;
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
}

HWND MessageBoxTextControl(HWND box) {
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    if (!text) EnumChildWindows(box, FindTextStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

int Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
        Error("no answer to message " + Hex(message));
        return kFailed;
    }
    Print(Hex(result) + "\n");
    return kOk;
}

// The window that has the keyboard focus in hwnd's thread, or hwnd itself.
HWND KeyTarget(HWND hwnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) return info.hwndFocus;
    return hwnd;
}

struct Key {
    const wchar_t* name;
    WORD vk;
    WORD scan;
    bool alt;
};

const Key kKeys[] = {
    {L"esc", VK_ESCAPE, 0x01, false},
    {L"enter", VK_RETURN, 0x1C, false},
    {L"altf4", VK_F4, 0x3E, true},
};

void PostKey(HWND target, const Key& key) {
    LPARAM down = 1 | (static_cast<LPARAM>(key.scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    if (key.alt) {
        const LPARAM context = 1L << 29;
        PostMessageW(target, WM_SYSKEYDOWN, key.vk, down | context);
        PostMessageW(target, WM_SYSKEYUP, key.vk, up | context);
    } else {
        PostMessageW(target, WM_KEYDOWN, key.vk, down);
        PostMessageW(target, WM_KEYUP, key.vk, up);
    }
}

const Key* FindKey(const std::wstring& name) {
    for (const Key& key : kKeys) {
        if (name == key.name) return &key;
    }
    Error("unknown key " + ToUtf8(name));
    return nullptr;
}

// As typed by the user: to hwnd brought to the front, or with no hwnd to
// whatever has the focus.
bool InjectKey(HWND hwnd, const Key& key) {
    if (hwnd) SetForegroundWindow(hwnd);
    INPUT inputs[4] = {};
    UINT count = 0;
    auto add = [&](WORD vk, WORD scan, bool up) {
        inputs[count].type = INPUT_KEYBOARD;
        inputs[count].ki.wVk = vk;
        inputs[count].ki.wScan = scan;
        inputs[count].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        ++count;
    };
    if (key.alt) add(VK_MENU, 0x38, false);
    add(key.vk, key.scan, false);
    add(key.vk, key.scan, true);
    if (key.alt) add(VK_MENU, 0x38, true);
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

double NowMs() {
    LARGE_INTEGER counter = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool CoversScreen(HWND hwnd) {
    RECT rect = {};
    return IsWindowVisible(hwnd) && !IsIconic(hwnd) && GetWindowRect(hwnd, &rect) &&
           rect.left == 0 && rect.top == 0 && rect.right == GetSystemMetrics(SM_CXSCREEN) &&
           rect.bottom == GetSystemMetrics(SM_CYSCREEN) &&
           (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// Waits until the window is back over the whole screen, topmost; the time
// counts from the end of the action, on the performance counter.
int WaitUntilBack(HWND hwnd, unsigned long waitMs, int actionResult) {
    if (actionResult != kOk || waitMs == 0) return actionResult;
    const double start = NowMs();
    for (;;) {
        if (!IsWindow(hwnd)) {
            Error("the window is gone");
            return kNotFound;
        }
        if (CoversScreen(hwnd)) break;
        if (NowMs() - start > waitMs) {
            Error("not back over the screen within the wait");
            return kFailed;
        }
        Sleep(5);
    }
    char text[48];
    std::snprintf(text, sizeof text, "back_ms=%.0f\n", NowMs() - start);
    Print(text);
    return kOk;
}

// The time on the performance counter and the window's line of `list`.
void PrintSample(HWND hwnd) {
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.0f\t", NowMs());
    Print(ms + (hwnd ? DescribeWindow(DescribeTopLevel(hwnd)) : std::string("none\n")));
}

HWND AtCentreOf(HWND hwnd) {
    RECT rect = {};
    if (!GetWindowRect(hwnd, &rect)) return nullptr;
    return TopLevelAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// Waits until the window is the top-level window at its own centre; prints
// the sample of the first time, or on failure of what was there last.
int WaitUntilSeen(HWND hwnd, unsigned long waitMs) {
    const double start = NowMs();
    HWND there = AtCentreOf(hwnd);
    while (there != hwnd || !IsWindowVisible(hwnd)) {
        if (!IsWindow(hwnd) || NowMs() - start > waitMs) {
            PrintSample(there);
            return kFailed;
        }
        Sleep(5);
        there = AtCentreOf(hwnd);
    }
    PrintSample(hwnd);
    return kOk;
}

// An argument that must name an entry of table: kOk, or kUsage said.
template <size_t N>
int NamedArgument(const std::wstring& text, const Named (&table)[N], const char* what,
                  unsigned long* value) {
    if (ParseNamed(text, table, value)) return kOk;
    Error(std::string("unknown ") + what + " " + ToUtf8(text));
    return kUsage;
}

int NeedArgs(const std::vector<std::wstring>& args, size_t min, size_t max) {
    if (args.size() < min || args.size() > max) {
        Error("wrong number of arguments for " + ToUtf8(args[0]));
        return kUsage;
    }
    return kOk;
}

// The arguments from first on as numbers: kOk, or kUsage said.
int NumberArguments(const std::vector<std::wstring>& args, size_t first, long* values) {
    for (size_t i = first; i < args.size(); ++i) {
        wchar_t* end = nullptr;
        values[i - first] = std::wcstol(args[i].c_str(), &end, 0);
        if (args[i].empty() || *end != L'\0') {
            Error("bad number " + ToUtf8(args[i]));
            return kUsage;
        }
    }
    return kOk;
}

// One argument of a command line, quoted as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t ch : arg) {
        if (ch == L'"') out.append(slashes + 1, L'\\');
        slashes = ch == L'\\' ? slashes + 1 : 0;
        out += ch;
    }
    return out.append(slashes, L'\\') + L"\"";
}

// Starts the program inside a new job with the given limits, as a launcher
// that keeps what it starts in a job does, and waits for the program alone.
// Its exit code is the program's.
int RunInJob(unsigned long limits, const std::vector<std::wstring>& program) {
    std::wstring commandLine;
    for (const std::wstring& arg : program)
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(arg);
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        Error("no job");
        return kFailed;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
    info.BasicLimitInformation.LimitFlags = limits;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    DWORD code = kFailed;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof info)) {
        Error("the job's limits were refused");
    } else if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &started)) {
        Error("cannot start " + ToUtf8(commandLine));
    } else {
        if (!AssignProcessToJobObject(job, started.hProcess)) {
            Error("the program was not taken into the job");
            TerminateProcess(started.hProcess, kFailed);
        } else if (ResumeThread(started.hThread) == static_cast<DWORD>(-1)) {
            Error("the program could not be resumed");
            TerminateProcess(started.hProcess, kFailed);
        } else if (WaitForSingleObject(started.hProcess, INFINITE) != WAIT_OBJECT_0 ||
                   !GetExitCodeProcess(started.hProcess, &code)) {
            code = kFailed;
        }
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    CloseHandle(job);
    return static_cast<int>(code);
}

}  // namespace

int RunCommand(const Options& options, const std::vector<std::wstring>& args) {
    const std::wstring& command = args[0];
    if (command == L"list") {
        if (int rc = NeedArgs(args, 1, 1)) return rc;
        for (const WindowInfo& w : ListTopLevelWindows()) Print(DescribeWindow(w));
        return kOk;
    }
    if (command == L"probe") {
        if (int rc = NeedArgs(args, 1, 1)) return rc;
        Print(ProbeReport());
        return kOk;
    }
    if (command == L"regvalue") {
        if (int rc = NeedArgs(args, 3, 3)) return rc;
        std::string report;
        if (!DescribeRegistryValue(args[1], args[2], &report)) {
            Error("no such registry value");
            return kNotFound;
        }
        Print(report);
        return kOk;
    }
    if (command == L"at") {
        // The top-level window at a point, COUNT times EVERY_MS apart.
        if (int rc = NeedArgs(args, 3, 5)) return rc;
        long values[4] = {0, 0, 1, 0};
        if (int rc = NumberArguments(args, 1, values)) return rc;
        for (long i = 0; i < values[2]; ++i) {
            if (i > 0) Sleep(static_cast<DWORD>(values[3]));
            PrintSample(TopLevelAt(values[0], values[1]));
        }
        return kOk;
    }
    if (command == L"type") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        const Key* key = FindKey(args[1]);
        if (!key) return kUsage;
        return InjectKey(nullptr, *key) ? kOk : kFailed;
    }
    if (command == L"box") {
        // A message box of this process, as any other program may show.
        if (int rc = NeedArgs(args, 3, 3)) return rc;
        MessageBoxW(nullptr, args[2].c_str(), args[1].c_str(), MB_OK);
        return kOk;
    }
    if (command == L"injob") {
        if (int rc = NeedArgs(args, 3, args.size())) return rc;
        unsigned long limits = 0;
        if (int rc = NamedArgument(args[1], kJobLimits, "job limit", &limits)) return rc;
        return RunInJob(limits, std::vector<std::wstring>(args.begin() + 2, args.end()));
    }
    if (args.size() < 2) {
        Error("missing window title");
        return kUsage;
    }
    WindowFilter filter{args[1], options.className};
    if (command == L"gone") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        return WaitUntilGone(filter, options.waitMs) ? kOk : kNotFound;
    }
    HWND hwnd = FindTopLevel(filter, options.waitMs);
    if (!hwnd) {
        Error("no window titled \"" + ToUtf8(args[1]) + "\"");
        return kNotFound;
    }
    if (command == L"find") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        Print(Hex(reinterpret_cast<ULONG_PTR>(hwnd)) + "\n");
        return kOk;
    }
    if (command == L"info") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        Print(DescribeWindow(DescribeTopLevel(hwnd)));
        return kOk;
    }
    if (command == L"seen") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        return WaitUntilSeen(hwnd, options.waitMs);
    }
    if (command == L"text") {
        if (int rc = NeedArgs(args, 2, 2)) return rc;
        HWND text = MessageBoxTextControl(hwnd);
        if (!text) {
            Error("the window holds no message box text");
            return kFailed;
        }
        Print(ToUtf8(WindowText(text)) + "\n");
        return kOk;
    }
    if (command == L"press") {
        if (int rc = NeedArgs(args, 3, 3)) return rc;
        unsigned long id = 0;
        if (int rc = NamedArgument(args[2], kButtons, "button", &id)) return rc;
        HWND button = GetDlgItem(hwnd, static_cast<int>(id));
        if (!button) {
            Error("the window has no button " + ToUtf8(args[2]));
            return kFailed;
        }
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored)) {
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        }
        return kOk;
    }
    if (command == L"send" || command == L"post") {
        if (int rc = NeedArgs(args, 3, 5)) return rc;
        unsigned long message = 0, wParam = 0, lParam = 0;
        if (!ParseNamed(args[2], kMessages, &message) ||
            (args.size() > 3 && !ParseValue(args[3], nullptr, 0, &wParam)) ||
            (args.size() > 4 && !ParseValue(args[4], nullptr, 0, &lParam))) {
            Error("bad message or parameter");
            return kUsage;
        }
        int done =
            command == L"send"
                ? Send(hwnd, message, wParam, static_cast<LPARAM>(lParam))
                : (PostMessageW(hwnd, message, wParam, static_cast<LPARAM>(lParam)) ? kOk
                                                                                    : kFailed);
        return WaitUntilBack(hwnd, options.backWaitMs, done);
    }
    if (command == L"show") {
        if (int rc = NeedArgs(args, 3, 3)) return rc;
        unsigned long show = 0;
        if (int rc = NamedArgument(args[2], kShowCommands, "show command", &show)) return rc;
        ShowWindow(hwnd, static_cast<int>(show));
        return WaitUntilBack(hwnd, options.backWaitMs, kOk);
    }
    if (command == L"move") {
        // Out of the topmost band, to the given place and size.
        if (int rc = NeedArgs(args, 6, 6)) return rc;
        long place[4] = {};
        if (int rc = NumberArguments(args, 2, place)) return rc;
        BOOL moved = SetWindowPos(hwnd, HWND_NOTOPMOST, place[0], place[1], place[2], place[3],
                                  SWP_NOACTIVATE);
        return WaitUntilBack(hwnd, options.backWaitMs, moved ? kOk : kFailed);
    }
    if (command == L"quit") {
        if (int rc = NeedArgs(args, 2, 3)) return rc;
        unsigned long exitCode = 0;
        if (args.size() > 2 && !ParseValue(args[2], nullptr, 0, &exitCode)) {
            Error("bad exit code");
            return kUsage;
        }
        DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
        return thread && PostThreadMessageW(thread, WM_QUIT, exitCode, 0) ? kOk : kFailed;
    }
    if (command == L"key") {
        if (int rc = NeedArgs(args, 3, 3)) return rc;
        const Key* key = FindKey(args[2]);
        if (!key) return kUsage;
        if (options.useInput) return InjectKey(hwnd, *key) ? kOk : kFailed;
        PostKey(KeyTarget(hwnd), *key);
        return kOk;
    }
    Error("unknown command " + ToUtf8(command));
    return kUsage;
}

}  // namespace uidriver
