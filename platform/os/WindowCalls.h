// Windows, messages and timers: the modal dialog and its UI loop.
#pragma once

#include <string>
#include <vector>

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

enum class ZOrder { Topmost };

class WindowCalls {
public:
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
    // Every top-level window, the topmost first.
    virtual std::vector<WindowHandle> EnumTopLevelWindows() = 0;
    virtual unsigned long GetWindowProcessId(WindowHandle window) = 0;
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // In screen coordinates; empty when it cannot be read.
    virtual Rect GetWindowRect(WindowHandle window) = 0;
    // Hidden by the system although visible; false where the system knows
    // no cloaking.
    virtual bool IsCloaked(WindowHandle window) = 0;
    // Some of the window lies on a display.
    virtual bool IsOnDisplay(WindowHandle window) = 0;
    virtual bool IsTopmost(WindowHandle window) = 0;
    virtual WindowHandle GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
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

protected:
    ~WindowCalls() = default;
};

}  // namespace platform
