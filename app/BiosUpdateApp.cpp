#include "app/BiosUpdateApp.h"

#include <string>

#include "app/Markers.h"
#include "app/StartupGuards.h"
#include "app/WorkFolder.h"
#include "platform/Platform.h"
#include "platform/Win32Constants.h"
#include "res/resource.h"
#include "ui/BiosUpdateDlg.h"

using platform::Os;

bool CBiosUpdateApp::InitInstance() {
    Os().InitCommonControls();
    CWinApp::InitInstance();
    EnableContainer();

    if (Os().CreateInstanceMutex(app::kInstanceMutexName) == platform::MutexResult::AlreadyExists) {
        return false;
    }

    if (app::IsCleanupRequest(m_strCmdLine)) {
        RemoveRunEntry();
        RemoveWorkFolder();
        return false;
    }

    platform::PowerStatus power;
    bool powerRead = Os().GetSystemPowerStatus(power);
    switch (app::CheckPower(powerRead, power)) {
        case app::PowerVerdict::NoMains:
            RefusePower(IDS_NO_AC_POWER);
            return false;
        case app::PowerVerdict::LowBattery:
            RefusePower(IDS_LOW_BATTERY);
            return false;
        case app::PowerVerdict::Allowed:
            break;
    }

    Os().CoInitialize();
    if (Os().CoInitializeSecurity() < 0) {
        bool korean = Os().GetSystemDefaultLCID() == win::LANG_KOREAN_KOREA;
        DoMessageBox(korean ? app::kSecurityFailureTextKorean : app::kSecurityFailureText,
                     win::MB_OK);
        return false;
    }

    SetRegistryKey(app::kRegistryKeyName);

    CBiosUpdateDlg dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The worker may still reach the dialog if its window went early.
    dialog.WaitForWorker();
    return false;
}

void CBiosUpdateApp::RefusePower(unsigned messageId) {
    RemoveWorkFolder();
    std::string text;
    Os().LoadStringA(messageId, text);
    Os().MessageBoxA(nullptr, text, app::kPowerCaption, win::MB_OK);
}
