#include "update/DownloadThread.h"

#include <optional>
#include <utility>

#include "app/Markers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "update/FlashCommand.h"
#include "update/Identifier.h"
#include "update/UtilityJob.h"

using platform::Os;

bool CHWDriverDownloadThread::InitInstance() {
    Os().Sleep(1000);
    RunUpdateDecision();
    return false;
}

int CHWDriverDownloadThread::RunUpdateDecision() {
    std::string packaged = update::kPackagedIdentifier;

    LoadStatus(IDS_LOADING);
    Os().Sleep(2000);
    ShowLoadedStatus();
    Os().Sleep(2000);
    Os().MbsUpr(packaged);

    ShowStatus(IDS_VERIFYING);
    Os().Sleep(2000);

    std::string running = m_pDlg->BiosVersion();
    Os().MbsUpr(running);
    m_strPlatform = update::PlatformCode(running);

    switch (update::Compare(running, packaged)) {
        case update::Outcome::OtherPlatform:
            FinishWithExitTimer(IDS_OTHER_PLATFORM, 3000);
            break;
        case update::Outcome::PackageOlder:
            FinishWithExitTimer(IDS_TARGET_NEWER, 5000);
            break;
        case update::Outcome::SameVersion:
            FinishWithExitTimer(IDS_SAME_VERSION, 5000);
            break;
        case update::Outcome::PackageNewer:
            ShowStatus(IDS_CHECKING);
            Os().Sleep(2000);
            Os().Sleep(2000);
            ShowStatus(IDS_UPDATING);
            Os().Sleep(1000);
            RunFlashUtility();
            WriteUpdateMarker();
            m_pDlg->PostFinish();
            break;
    }
    return 0;
}

void CHWDriverDownloadThread::RunProcessAndWait(std::string application, std::string commandLine,
                                                std::string directory) {
    update::RunUtility(
        update::FlashLaunch{std::move(application), std::move(commandLine), std::move(directory)},
        *m_pDlg);
}

// A string that cannot be loaded leaves the previous text to be shown again.
void CHWDriverDownloadThread::LoadStatus(unsigned id) { Os().LoadStringA(id, m_strScratch); }

void CHWDriverDownloadThread::ShowLoadedStatus() { m_pDlg->ShowStatus(m_strScratch); }

void CHWDriverDownloadThread::ShowStatus(unsigned id) {
    LoadStatus(id);
    ShowLoadedStatus();
}

void CHWDriverDownloadThread::RunFlashUtility() {
    std::optional<std::string> module = Os().GetModuleFileNameA();
    if (!module) return;
    std::optional<update::FlashLaunch> launch = update::BuildFlashLaunch(*module);
    if (!launch) return;
    RunProcessAndWait(launch->application, launch->commandLine, launch->directory);
}

void CHWDriverDownloadThread::FinishWithExitTimer(unsigned statusId, unsigned long pause) {
    WriteUpdateMarker();
    ShowStatus(statusId);
    Os().Sleep(pause);
    m_pDlg->ArmExitTimer();
    m_pDlg->PostFinish();
}
