#include "platform/framework/CDialog.h"

#include "platform/Win32Constants.h"
#include "platform/framework/CWinApp.h"

CDialog::CDialog(unsigned templateId, CDialog* /*parent*/) : m_nTemplateId(templateId) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    m_bCreated = false;
    platform::Os().RunModalDialog(m_nTemplateId, *this);
    return m_bCreated ? 0 : -1;
}

bool CDialog::OnInitDialog() { return true; }

bool CDialog::PreTranslateMessage(const platform::QueuedMessage& msg) {
    return platform::Os().IsDialogMessage(m_hWnd, msg);
}

CDialog::Lresult CDialog::WindowProc(unsigned message, Wparam wParam, Lparam lParam) {
    for (const MessageEntry* entry = GetMessageMap(); entry && entry->handler; ++entry) {
        if (message >= entry->first && message <= entry->last) {
            return (this->*(entry->handler))(wParam, lParam);
        }
    }
    if (message == win::WM_COMMAND) {
        const unsigned command = static_cast<unsigned>(wParam & 0xFFFF);
        if (command == static_cast<unsigned>(win::IDOK)) {
            OnOK();
            return 0;
        }
        if (command == static_cast<unsigned>(win::IDCANCEL)) {
            OnCancel();
            return 0;
        }
    }
    return Default();
}

void CDialog::EndDialog() {
    if (m_hWnd) platform::Os().EndDialog(m_hWnd);
}

CDialog::Lresult CDialog::Default() {
    return platform::Os().DefaultWindowProc(m_hWnd, m_msgCur.message, m_msgCur.wParam,
                                            m_msgCur.lParam);
}

const CDialog::MessageEntry* CDialog::GetMessageMap() const { return nullptr; }

bool CDialog::HandleInitDialog(platform::WindowHandle window) {
    m_hWnd = window;
    m_bCreated = true;
    return OnInitDialog();
}

CDialog::Lresult CDialog::HandleMessage(unsigned message, Wparam wParam, Lparam lParam) {
    CurrentMessage outer = m_msgCur;
    m_msgCur = CurrentMessage{message, wParam, lParam};
    Lresult result = WindowProc(message, wParam, lParam);
    m_msgCur = outer;
    return result;
}

bool CDialog::HandlePreTranslate(const platform::QueuedMessage& msg) {
    return PreTranslateMessage(msg);
}

bool CDialog::HandleQuit() { return EndsOnQuit(); }

void CDialog::HandleDestroyed() {
    OnWindowDestroyed();
    CWinApp* app = CWinApp::Current();
    if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    m_hWnd = nullptr;
}
