// uidriver: drives the windows of another program running in the same Wine
// prefix, for the end-to-end tests. Run without arguments for its usage.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "tools/uidriver/Commands.h"
#include "tools/uidriver/Output.h"

namespace {

const char kUsage[] =
    "usage: uidriver [--wait MS] [--class NAME] [--input] [--back MS] COMMAND [ARGS]\n"
    "  list                          top-level windows: hwnd pid visible rect style exstyle\n"
    "                                owner class title (tab-separated)\n"
    "  probe                         power status, locales, screen and firmware as key=value\n"
    "  regvalue KEY NAME             a registry value as the program's 8-bit reads see it:\n"
    "                                type, bytes, hex, text (exit 1: no such value)\n"
    "  find TITLE                    the window's handle\n"
    "  info TITLE                    the window's line of `list`\n"
    "  seen TITLE                    waits until the window is the top-level window at its\n"
    "                                centre; prints a sample (exit 3: the last one, not it)\n"
    "  at X Y [COUNT EVERY_MS]       samples the top-level window at a screen point\n"
    "  gone TITLE                    succeeds once no such window is left\n"
    "  text TITLE                    a message box's text\n"
    "  press TITLE ok|cancel|yes|no|ID    clicks a button of the window\n"
    "  send TITLE MESSAGE [WPARAM [LPARAM]]  sends, prints the result in hex\n"
    "  post TITLE MESSAGE [WPARAM [LPARAM]]  posts to the window\n"
    "  quit TITLE [EXITCODE]         posts WM_QUIT to the thread that owns the window\n"
    "  show TITLE minimize|hide|restore  ShowWindow from this process\n"
    "  move TITLE X Y WIDTH HEIGHT   places the window there, out of the topmost band\n"
    "  key TITLE esc|enter|altf4     posts the key to the window's focus (--input: SendInput)\n"
    "  type esc|enter|altf4          SendInput to whatever has the focus\n"
    "  box TITLE TEXT                shows a message box; ends when it is answered\n"
    "  injob none|breakaway PROGRAM [ARGS]  runs PROGRAM inside a new job (breakaway: one\n"
    "                                that lets its processes' children break away) and\n"
    "                                exits with PROGRAM's exit code\n"
    "MESSAGE: close powerbroadcast queryendsession endsession syscommand command timer paint\n"
    "or a number; numbers are decimal or 0x hex. TITLE is matched exactly; --wait polls for\n"
    "it up to MS milliseconds. --back: after send, post, show or move, waits up to MS\n"
    "milliseconds until the window covers the screen topmost, and prints back_ms=N.\n"
    "A sample: the performance counter in ms, a tab, and the window's line of `list`.\n"
    "Exit codes: 0 done, 1 window not found, 2 usage, 3 no answer or no such part\n"
    "(injob: 3 when PROGRAM could not be run in the job).\n";

class ArgList {
public:
    ArgList() : argv_(CommandLineToArgvW(GetCommandLineW(), &argc_)) {}
    ~ArgList() {
        if (argv_) LocalFree(argv_);
    }
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;
    std::vector<std::wstring> Get() const {
        std::vector<std::wstring> args;
        for (int i = 1; argv_ && i < argc_; ++i) args.push_back(argv_[i]);
        return args;
    }

private:
    int argc_ = 0;
    LPWSTR* argv_;
};

}  // namespace

int main() {
    std::vector<std::wstring> args = ArgList().Get();
    uidriver::Options options;
    size_t i = 0;
    for (; i < args.size() && args[i].compare(0, 2, L"--") == 0; ++i) {
        if (args[i] == L"--input") {
            options.useInput = true;
        } else if (i + 1 < args.size() && args[i] == L"--wait") {
            options.waitMs = std::wcstoul(args[++i].c_str(), nullptr, 10);
        } else if (i + 1 < args.size() && args[i] == L"--back") {
            options.backWaitMs = std::wcstoul(args[++i].c_str(), nullptr, 10);
        } else if (i + 1 < args.size() && args[i] == L"--class") {
            options.className = args[++i];
        } else {
            break;
        }
    }
    if (i >= args.size() || args[i].compare(0, 2, L"--") == 0) {
        uidriver::Print(kUsage);
        return uidriver::kUsage;
    }
    args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
    return uidriver::RunCommand(options, args);
}
