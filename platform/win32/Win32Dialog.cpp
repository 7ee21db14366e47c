// The modal dialog: created from the executable's template, subclassed so
// that every message goes to its host, and driven by its own UI loop.
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

// What the window procedures know of one running dialog. It lives in
// RunModalDialog's frame, which outlasts the window.
struct DialogBinding {
    DialogHost* host = nullptr;
    HWND window = nullptr;
    WNDPROC original = nullptr;
    bool destroying = false;  // set around the platform's own DestroyWindow
};

DialogBinding* BindingOf(HWND window) {
    return reinterpret_cast<DialogBinding*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Messages that only the window system sends while it makes or destroys a
// window. Only the platform creates the dialog and only the platform
// destroys it: the same messages from anyone else, sent or posted, whichever
// loop dispatches them, reach neither the dialog nor the default procedure,
// which would free the dialog's data ahead of the real destruction.
bool IsCreationOrDestruction(UINT message) {
    switch (message) {
        case WM_NCCREATE:  // creation: all came before the binding
        case WM_CREATE:
        case WM_INITDIALOG:
        case WM_DESTROY:  // destruction: real only inside DestroyBound
        case WM_NCDESTROY:
            return true;
        default:
            return false;
    }
}

// A sent creation or destruction message that the window system did not send.
bool IsForged(const DialogBinding& binding, UINT message) {
    if (!IsCreationOrDestruction(message)) return false;
    return !(binding.destroying && (message == WM_DESTROY || message == WM_NCDESTROY));
}

void DestroyBound(HWND window) {
    if (DialogBinding* binding = BindingOf(window)) binding->destroying = true;
    ::DestroyWindow(window);
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBinding* binding = BindingOf(window);
    if (!binding) return ::DefWindowProcA(window, message, wParam, lParam);
    if (IsForged(*binding, message)) return 0;
    if (message != WM_NCDESTROY) return binding->host->HandleMessage(message, wParam, lParam);

    LRESULT result = binding->host->HandleMessage(message, wParam, lParam);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(binding->original));
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    binding->window = nullptr;
    binding->host->HandleDestroyed();
    return result;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    // Bound once; a later WM_INITDIALOG stops at SubclassProc.
    if (message != WM_INITDIALOG || BindingOf(window)) return FALSE;
    auto* binding = reinterpret_cast<DialogBinding*>(lParam);
    binding->window = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding));
    binding->original = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    return binding->host->HandleInitDialog(FromHwnd(window)) ? TRUE : FALSE;
}

bool BelongsToDialog(HWND dialog, HWND window) {
    return window && (window == dialog || ::IsChild(dialog, window));
}

}  // namespace

void Win32Platform::RunModalDialog(unsigned templateId, DialogHost& host) {
    DialogBinding binding;
    binding.host = &host;
    HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                       nullptr, DialogProc, reinterpret_cast<LPARAM>(&binding));
    if (!dialog) return;

    MSG msg = {};
    while (binding.window) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            if (!host.HandleQuit()) continue;
            // Leave the quit request for whoever runs the next loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (BelongsToDialog(dialog, msg.hwnd)) {
            // Posted, so never the window system's own.
            if (IsCreationOrDestruction(msg.message)) continue;
            QueuedMessage queued{FromHwnd(msg.hwnd), msg.message, msg.wParam, msg.lParam};
            if (host.HandlePreTranslate(queued)) continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
        // Destroyed by a call that bypassed the platform: its messages were
        // taken for forged ones, so the loop learns of it here.
        if (binding.window && !::IsWindow(dialog)) {
            binding.window = nullptr;
            host.HandleDestroyed();
        }
    }
    if (binding.window) DestroyBound(dialog);
}

Lresult Win32Platform::DefaultWindowProc(WindowHandle window, unsigned message, Wparam wParam,
                                         Lparam lParam) {
    HWND hwnd = ToHwnd(window);
    DialogBinding* binding = BindingOf(hwnd);
    if (binding && binding->original) {
        return ::CallWindowProcA(binding->original, hwnd, message, wParam, lParam);
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// The UI loop runs while the window exists.
void Win32Platform::EndDialog(WindowHandle window) { DestroyBound(ToHwnd(window)); }

bool Win32Platform::IsDialogMessage(WindowHandle window, const QueuedMessage& msg) {
    MSG queued = {};
    queued.hwnd = ToHwnd(msg.window);
    queued.message = msg.message;
    queued.wParam = msg.wParam;
    queued.lParam = msg.lParam;
    queued.time = static_cast<DWORD>(::GetMessageTime());
    DWORD position = ::GetMessagePos();
    queued.pt.x = static_cast<short>(LOWORD(position));
    queued.pt.y = static_cast<short>(HIWORD(position));
    return ::IsDialogMessageA(ToHwnd(window), &queued) != FALSE;
}

}  // namespace platform
