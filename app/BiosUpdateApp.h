// The application: start-up guards, then the update dialog.
#pragma once

#include "platform/framework/CWinApp.h"

class CBiosUpdateApp : public CWinApp {
public:
    CBiosUpdateApp() = default;
    ~CBiosUpdateApp() override = default;

    // Runs the guards and, when all pass, the update dialog. Always false.
    bool InitInstance() override;

private:
    void RefusePower(unsigned messageId);
};

namespace app {
inline constexpr const char* kInstanceMutexName = "The Program of BIOS update program";
inline constexpr const char* kPowerCaption = "BIOS Update";
inline constexpr const char* kSecurityFailureText = "The fail of authority Setting";
// "권한 설정 실패" in code page 949.
inline constexpr const char* kSecurityFailureTextKorean =
    "\xB1\xC7\xC7\xD1 \xBC\xB3\xC1\xA4 \xBD\xC7\xC6\xD0";
inline constexpr const char* kRegistryKeyName = "Local AppWizard-Generated Applications";
}  // namespace app
