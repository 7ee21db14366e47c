// The modal dialog and its UI loop, with a scripted host, on a real display.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

// TestDialog.rc. Each window shown costs Wine about 2 s when it goes (it
// waits for a window manager that Xvfb does not have), so most tests use the
// hidden one.
constexpr unsigned kTestDialog = 9000;  // hidden popup with an edit child
constexpr unsigned kVisibleDialog = 9001;
constexpr int kEditId = 100;
constexpr unsigned kQuit = WM_APP;  // the host ends the loop on it

class ScriptedHost : public DialogHost {
public:
    explicit ScriptedHost(Win32Platform& os) : os_(os) {}

    bool HandleInitDialog(WindowHandle window) override {
        window_ = window;
        ++inits;
        return onInit ? onInit(ToHwnd()) : true;
    }

    Lresult HandleMessage(unsigned message, Wparam wParam, Lparam lParam) override {
        EXPECT_EQ(inits, 1);
        EXPECT_EQ(destroyed, 0);
        messages.push_back(message);
        if (message == kQuit) {
            os_.PostQuitMessage(static_cast<int>(wParam));
            return 0;
        }
        Lresult result = 0;
        if (onMessage && onMessage(message, wParam, lParam, result)) return result;
        return os_.DefaultWindowProc(window_, message, wParam, lParam);
    }

    bool HandlePreTranslate(const QueuedMessage& msg) override {
        preTranslated.push_back(msg);
        return onPreTranslate ? onPreTranslate(msg) : false;
    }

    bool HandleQuit() override {
        ++quits;
        return onQuit ? onQuit() : true;
    }

    void HandleDestroyed() override {
        ++destroyed;
        windowAliveAtDestroyed = ::IsWindow(ToHwnd()) != FALSE;
    }

    HWND ToHwnd() const { return reinterpret_cast<HWND>(window_); }
    size_t Count(unsigned message) const {
        return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
    }

    std::function<bool(HWND)> onInit;
    std::function<bool(unsigned, Wparam, Lparam, Lresult&)> onMessage;
    std::function<bool(const QueuedMessage&)> onPreTranslate;
    std::function<bool()> onQuit;

    int inits = 0;
    int destroyed = 0;
    int quits = 0;
    bool windowAliveAtDestroyed = false;
    std::vector<unsigned> messages;
    std::vector<QueuedMessage> preTranslated;

private:
    Win32Platform& os_;
    WindowHandle window_ = nullptr;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each loop leaves its quit request behind: start from an empty queue.
        TakeQuitRequest();
        if (!::GetSystemMetrics(SM_CXSCREEN)) {
            GTEST_SKIP() << "no display";
        }
    }

    // The quit request the loop left in the queue, or -1.
    static int TakeQuitRequest() {
        MSG msg = {};
        int code = -1;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) code = static_cast<int>(msg.wParam);
        }
        return code;
    }

    Win32Platform os_;
};

TEST_F(DialogTest, RunsUntilTheQuitRequestThenDestroysTheWindow) {
    ScriptedHost host(os_);
    host.onInit = [&](HWND window) {
        ::PostMessageA(window, kQuit, 3, 0);
        return true;
    };
    host.onMessage = [&](unsigned message, Wparam, Lparam, Lresult&) {
        if (message == WM_NCDESTROY) {
            EXPECT_TRUE(::IsWindow(host.ToHwnd()));
        }
        return false;
    };
    os_.RunModalDialog(kTestDialog, host);

    EXPECT_EQ(host.inits, 1);
    EXPECT_EQ(host.destroyed, 1);
    EXPECT_FALSE(::IsWindow(host.ToHwnd()));
    EXPECT_EQ(host.Count(kQuit), 1u);
    EXPECT_EQ(host.Count(WM_DESTROY), 1u);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back(), static_cast<unsigned>(WM_NCDESTROY));
    // The quit request stays for the loop outside.
    EXPECT_EQ(TakeQuitRequest(), 3);
}

// What another program can post or send does not end the loop: a quit the
// host refuses, and the messages of a window's making and destruction,
// posted or sent, which reach neither the host nor the default procedure.
TEST_F(DialogTest, OnlyAQuitTheHostAcceptsEndsTheLoop) {
    constexpr unsigned kSendForged = WM_APP + 1;
    ScriptedHost host(os_);
    host.onInit = [&](HWND window) {
        ::SetWindowTextA(window, "bound");
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_QUIT, 7, 0);
        for (UINT message : {WM_INITDIALOG, WM_DESTROY, WM_NCDESTROY}) {
            ::PostMessageA(window, message, 0, 0);
        }
        ::SendMessageA(window, WM_INITDIALOG, 0, 0);  // no second binding
        ::PostMessageA(window, kSendForged, 0, 0);
        return true;
    };
    bool boundAfterForgery = false;
    host.onMessage = [&](unsigned message, Wparam, Lparam, Lresult&) {
        if (message != kSendForged) return false;
        HWND window = host.ToHwnd();
        for (UINT forged : {WM_NCDESTROY, WM_DESTROY, WM_INITDIALOG, WM_NCDESTROY}) {
            EXPECT_EQ(::SendMessageA(window, forged, 0, 0), 0);
        }
        char title[16] = {};
        ::GetWindowTextA(window, title, sizeof title);
        boundAfterForgery = ::IsWindow(window) && ::GetWindowLongPtrA(window, GWLP_USERDATA) &&
                            ::GetDlgItem(window, kEditId) && std::string(title) == "bound";
        ::PostMessageA(window, kQuit, 3, 0);  // the loop still runs
        return true;
    };
    host.onQuit = [&] { return host.Count(kQuit) > 0; };
    os_.RunModalDialog(kTestDialog, host);

    EXPECT_TRUE(boundAfterForgery);
    EXPECT_EQ(host.inits, 1);
    EXPECT_EQ(host.quits, 2);
    EXPECT_EQ(host.Count(kQuit), 1u);
    EXPECT_EQ(host.Count(WM_INITDIALOG), 0u);
    // The real destruction's, once each.
    EXPECT_EQ(host.Count(WM_DESTROY), 1u);
    EXPECT_EQ(host.Count(WM_NCDESTROY), 1u);
    EXPECT_EQ(host.destroyed, 1);
    EXPECT_FALSE(::IsWindow(host.ToHwnd()));
    EXPECT_EQ(TakeQuitRequest(), 3);
}

TEST_F(DialogTest, MissingTemplateReturnsAtOnce) {
    ScriptedHost host(os_);
    os_.RunModalDialog(4242, host);
    EXPECT_EQ(host.inits, 0);
    EXPECT_EQ(host.destroyed, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(TakeQuitRequest(), -1);
}

TEST_F(DialogTest, MessagesForTheDialogAndItsChildrenArePreTranslated) {
    ScriptedHost host(os_);
    HWND edit = nullptr;
    host.onInit = [&](HWND window) {
        edit = ::GetDlgItem(window, kEditId);
        ::PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_APP + 5, 0, 0);
        ::PostMessageA(window, kQuit, 0, 0);
        return true;
    };
    // Handled key-downs go no further.
    host.onPreTranslate = [](const QueuedMessage& msg) { return msg.message == WM_KEYDOWN; };
    os_.RunModalDialog(kTestDialog, host);

    std::vector<QueuedMessage> keys;
    bool threadMessageOffered = false;
    for (const QueuedMessage& msg : host.preTranslated) {
        if (msg.message == WM_KEYDOWN) keys.push_back(msg);
        if (msg.message == WM_APP + 5) threadMessageOffered = true;
    }
    ASSERT_NE(edit, nullptr);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].window, reinterpret_cast<WindowHandle>(edit));
    EXPECT_EQ(keys[0].wParam, static_cast<Wparam>(VK_ESCAPE));
    EXPECT_EQ(keys[1].window, reinterpret_cast<WindowHandle>(host.ToHwnd()));
    EXPECT_EQ(keys[1].wParam, static_cast<Wparam>(VK_RETURN));
    EXPECT_FALSE(threadMessageOffered);
    EXPECT_EQ(host.Count(WM_KEYDOWN), 0u);
    EXPECT_EQ(TakeQuitRequest(), 0);
}

TEST_F(DialogTest, HandlerResultsGoBackAndDefaultsReachTheSystem) {
    ScriptedHost host(os_);
    Lresult custom = 0;
    char title[64] = {};
    bool aliveAfterClose = false;
    host.onMessage = [](unsigned message, Wparam, Lparam, Lresult& result) {
        if (message == WM_APP + 2) {
            result = 0x424D5144;
            return true;
        }
        if (message == WM_CLOSE) {
            result = 0;
            return true;
        }
        return false;
    };
    host.onInit = [&](HWND window) {
        WindowHandle handle = reinterpret_cast<WindowHandle>(window);
        custom = os_.SendMessageA(handle, WM_APP + 2, 0, 0);
        // WM_SETTEXT goes to the default procedure, which keeps the text.
        os_.SetWindowTextA(handle, "BIOS Update Program");
        ::GetWindowTextA(window, title, sizeof(title));
        os_.SendMessageA(handle, WM_CLOSE, 0, 0);
        aliveAfterClose = ::IsWindow(window) != FALSE;
        os_.PostMessageA(handle, kQuit, 0, 0);
        return true;
    };
    os_.RunModalDialog(kTestDialog, host);

    EXPECT_EQ(custom, 0x424D5144);
    EXPECT_STREQ(title, "BIOS Update Program");
    EXPECT_TRUE(aliveAfterClose);
    EXPECT_EQ(host.destroyed, 1);
}

// Not through the platform: the destruction's messages count as forged, and
// the loop still ends once the window is gone.
TEST_F(DialogTest, WindowDestroyedByItsHostEndsTheLoop) {
    ScriptedHost host(os_);
    host.onInit = [](HWND window) {
        ::PostMessageA(window, WM_APP + 3, 0, 0);
        return true;
    };
    host.onMessage = [&](unsigned message, Wparam, Lparam, Lresult& result) {
        if (message != WM_APP + 3) return false;
        ::DestroyWindow(host.ToHwnd());
        result = 0;
        return true;
    };
    os_.RunModalDialog(kTestDialog, host);
    EXPECT_EQ(host.destroyed, 1);
    EXPECT_EQ(TakeQuitRequest(), -1);
}

TEST_F(DialogTest, TimersTickUntilKilledAndPaintsValidate) {
    ScriptedHost host(os_);
    int ticks = 0;
    int paints = 0;
    bool killed = false;
    host.onInit = [&](HWND window) {
        EXPECT_TRUE(os_.SetTimer(reinterpret_cast<WindowHandle>(window), 2053, 10));
        return true;
    };
    host.onMessage = [&](unsigned message, Wparam wParam, Lparam, Lresult& result) {
        WindowHandle window = reinterpret_cast<WindowHandle>(host.ToHwnd());
        if (message == WM_TIMER && wParam == 2053) {
            if (++ticks == 3) {
                killed = os_.KillTimer(window, 2053);
                os_.InvalidateRect(window, false);
                os_.PostMessageA(window, kQuit, 0, 0);
            }
            result = 0;
            return true;
        }
        if (message == WM_PAINT) {
            ++paints;
            PaintStruct paint;
            EXPECT_NE(os_.BeginPaint(window, paint), nullptr);
            os_.EndPaint(window, paint);
            result = 0;
            return true;
        }
        return false;
    };
    os_.RunModalDialog(kVisibleDialog, host);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(killed);
    // Every paint validated the window: no endless stream of them.
    EXPECT_GE(paints, 1);
    EXPECT_LE(paints, 3);
}

TEST_F(DialogTest, PlacementStylesAndCentring) {
    ScriptedHost host(os_);
    LONG exStyle = 0;
    LONG topmost = 0;
    RECT placed = {};
    RECT centred = {};
    RECT fullScreenCentred = {};
    Rect client;
    bool iconic = true;
    std::vector<WindowHandle> listed;
    bool selfTopmost = false;
    bool selfShown = false;
    bool awayOnDisplay = true;
    Rect frame;
    unsigned long selfProcess = 0;
    WindowHandle dialog = nullptr;
    host.onInit = [&](HWND window) {
        WindowHandle handle = reinterpret_cast<WindowHandle>(window);
        dialog = handle;
        os_.ModifyStyleEx(handle, WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
        exStyle = ::GetWindowLongA(window, GWL_EXSTYLE);
        os_.SetWindowPos(handle, ZOrder::Topmost, 0, 0, 300, 200, SWP_SHOWWINDOW);
        topmost = ::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
        // As the screen's tick lists them while the flash utility runs.
        const auto start = std::chrono::steady_clock::now();
        constexpr int kLists = 1000;
        for (int i = 0; i < kLists; ++i) {
            listed = os_.EnumTopLevelWindows();
            selfTopmost = os_.IsTopmost(handle);
        }
        selfProcess = os_.GetWindowProcessId(handle);
        const auto listedAt = std::chrono::steady_clock::now();
        // And what it reads of each shown window of the utility on the
        // primary display, here the dialog's own; one off it is also asked
        // IsOnDisplay.
        for (int i = 0; i < kLists; ++i) {
            frame = os_.GetWindowRect(handle);
            selfShown =
                os_.IsWindowVisible(handle) && !os_.IsIconic(handle) && !os_.IsCloaked(handle);
        }
        const std::chrono::duration<double, std::micro> list = listedAt - start,
                                                        reads = std::chrono::steady_clock::now() -
                                                                listedAt;
        std::printf(
            "EnumTopLevelWindows and IsTopmost: %zu windows, %.1f us a tick, and "
            "%.1f us for each shown window of the utility\n",
            listed.size(), list.count() / kLists, reads.count() / kLists);
        selfShown = selfShown && os_.IsOnDisplay(handle);
        ::SetWindowPos(window, nullptr, 5000, 5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        awayOnDisplay = os_.IsOnDisplay(handle);
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::GetWindowRect(window, &placed);
        client = os_.GetClientRect(handle);
        iconic = os_.IsIconic(handle);
        os_.CenterWindow(handle);
        ::GetWindowRect(window, &centred);
        os_.SetWindowPos(handle, ZOrder::Topmost, 0, 0, os_.GetSystemMetrics(SM_CXSCREEN),
                         os_.GetSystemMetrics(SM_CYSCREEN), SWP_SHOWWINDOW);
        os_.CenterWindow(handle);
        ::GetWindowRect(window, &fullScreenCentred);
        ::PostMessageA(window, kQuit, 0, 0);
        return true;
    };
    os_.RunModalDialog(kTestDialog, host);

    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(topmost);
    EXPECT_NE(std::find(listed.begin(), listed.end(), dialog), listed.end());
    EXPECT_EQ(selfProcess, ::GetCurrentProcessId());
    EXPECT_TRUE(selfTopmost);
    EXPECT_TRUE(selfShown);
    EXPECT_FALSE(awayOnDisplay);
    EXPECT_EQ(frame.right - frame.left, 300);
    EXPECT_EQ(placed.right - placed.left, 300);
    EXPECT_EQ(placed.bottom - placed.top, 200);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_FALSE(iconic);

    RECT area = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(centred.left, (area.left + area.right) / 2 - 150);
    EXPECT_EQ(centred.top, (area.top + area.bottom) / 2 - 100);
    EXPECT_EQ(fullScreenCentred.left, area.left);
    EXPECT_EQ(fullScreenCentred.top, area.top);
}

TEST_F(DialogTest, AwakeRequestHoldsUntilCleared) {
    ScriptedHost host(os_);
    unsigned long held = 0;
    host.onInit = [&](HWND window) {
        os_.SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
        held = os_.SetThreadExecutionState(ES_CONTINUOUS);
        ::PostMessageA(window, kQuit, 0, 0);
        return true;
    };
    os_.RunModalDialog(kTestDialog, host);
    EXPECT_EQ(held & (ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED),
              static_cast<unsigned long>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED));
}

// The reason log-off and shut-down show, read back from the system while the
// window holds it. A ctest entry of its own (platform.shutdown_block), so
// that its skip under Wine hides nothing else.
TEST_F(DialogTest, ShutdownBlockReasonIsShownUntilDestroyed) {
    using Query = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
    auto query = GetSystemFunction<Query>("user32.dll", "ShutdownBlockReasonQuery");
    if (!query) {
        GTEST_SKIP() << "user32 has no ShutdownBlockReasonQuery (Wine): the reason cannot be read "
                        "back";
    }
    ScriptedHost host(os_);
    bool created = false;
    DWORD createError = 0;
    bool removed = false;
    std::wstring shown;
    bool shownAfterRemoval = true;
    host.onInit = [&](HWND window) {
        WindowHandle handle = reinterpret_cast<WindowHandle>(window);
        wchar_t text[64] = {};
        DWORD length = 64;
        created = os_.ShutdownBlockReasonCreate(handle, u"BIOS is updating now.");
        createError = ::GetLastError();
        if (query(window, text, &length)) shown = text;
        removed = os_.ShutdownBlockReasonDestroy(handle);
        length = 64;
        shownAfterRemoval = query(window, text, &length) != FALSE;
        ::PostMessageA(window, kQuit, 0, 0);
        return true;
    };
    os_.RunModalDialog(kVisibleDialog, host);
    if (!created && createError == ERROR_CALL_NOT_IMPLEMENTED) {
        GTEST_SKIP() << "this system does not implement shutdown block reasons";
    }
    EXPECT_TRUE(created);
    EXPECT_EQ(shown, L"BIOS is updating now.");
    EXPECT_TRUE(removed);
    EXPECT_FALSE(shownAfterRemoval);
}

}  // namespace
}  // namespace platform
