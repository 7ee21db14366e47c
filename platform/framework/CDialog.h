// A modal dialog built from a template, with a static message table.
#pragma once

#include "platform/Platform.h"

class CDialog : public platform::DialogHost {
public:
    using Lresult = platform::Lresult;
    using Wparam = platform::Wparam;
    using Lparam = platform::Lparam;
    using Handler = Lresult (CDialog::*)(Wparam, Lparam);

    // One row of a message table: messages first..last go to handler.
    struct MessageEntry {
        unsigned first;
        unsigned last;
        Handler handler;
    };

    CDialog(unsigned templateId, CDialog* parent);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    virtual bool PreTranslateMessage(const platform::QueuedMessage& msg);
    virtual Lresult WindowProc(unsigned message, Wparam wParam, Lparam lParam);
    virtual bool OnInitDialog();

    // Creates the window, runs its UI loop until the quit request and
    // destroys it. Returns 0, or -1 when the window could not be made.
    int DoModal();

    platform::WindowHandle GetSafeHwnd() const { return m_hWnd; }

    // The dialog keys' commands end the dialog, as the framework's do.
    virtual void OnOK() { EndDialog(); }
    virtual void OnCancel() { EndDialog(); }
    void EndDialog();

    // The current message's default processing.
    Lresult Default();

protected:
    // The class's table, ended by a row with a null handler.
    virtual const MessageEntry* GetMessageMap() const;
    // Called once the window is gone.
    virtual void OnWindowDestroyed() {}
    // Whether a quit request taken from the queue ends the UI loop; the
    // framework's dialog ends on any.
    virtual bool EndsOnQuit() { return true; }

    template <class Derived>
    static constexpr Handler Route(Lresult (Derived::*handler)(Wparam, Lparam)) {
        return static_cast<Handler>(handler);
    }

private:
    bool HandleInitDialog(platform::WindowHandle window) override;
    Lresult HandleMessage(unsigned message, Wparam wParam, Lparam lParam) override;
    bool HandlePreTranslate(const platform::QueuedMessage& msg) override;
    bool HandleQuit() override;
    void HandleDestroyed() override;

    struct CurrentMessage {
        unsigned message = 0;
        Wparam wParam = 0;
        Lparam lParam = 0;
    };

    unsigned m_nTemplateId;
    platform::WindowHandle m_hWnd = nullptr;
    bool m_bCreated = false;
    CurrentMessage m_msgCur;
};
