#include "update/DownloadThread.h"

#include <optional>
#include <utility>

#include "app/Markers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "update/FlashCommand.h"
#include "update/Identifier.h"
#include "update/TrustedPackage.h"
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
            WriteUpdateMarker();
            EndWithoutFlash(IDS_OTHER_PLATFORM, 3000);
            break;
        case update::Outcome::PackageOlder:
            WriteUpdateMarker();
            EndWithoutFlash(IDS_TARGET_NEWER, 5000);
            break;
        case update::Outcome::SameVersion:
            WriteUpdateMarker();
            EndWithoutFlash(IDS_SAME_VERSION, 5000);
            break;
        case update::Outcome::PackageNewer:
            ShowStatus(IDS_CHECKING);
            Os().Sleep(2000);
            Os().Sleep(2000);
            FlashPackage();
            break;
    }
    return 0;
}

update::UtilityRun CHWDriverDownloadThread::RunProcessAndWait(
    std::string application, std::string commandLine, std::string directory,
    const std::function<bool()>& looksAsBuilt) {
    return update::RunUtility(
        update::FlashLaunch{std::move(application), std::move(commandLine), std::move(directory)},
        *m_pDlg, m_power, looksAsBuilt);
}

// A string that cannot be loaded leaves the previous text to be shown again.
void CHWDriverDownloadThread::LoadStatus(unsigned id) { Os().LoadStringA(id, m_strScratch); }

void CHWDriverDownloadThread::ShowLoadedStatus() { m_pDlg->ShowStatus(m_strScratch); }

void CHWDriverDownloadThread::ShowStatus(unsigned id) {
    LoadStatus(id);
    ShowLoadedStatus();
}

// The utility runs as administrator: only the files the program was built
// for, held unchanged until it and its helpers have ended. A changed package
// ends the run as the outcomes without a flash do, and a utility that never
// ran ends it as a flash would; neither records anything as done, so that a
// later run is not skipped.
void CHWDriverDownloadThread::FlashPackage() {
    std::optional<std::string> module = Os().GetModuleFileNameA();
    std::optional<update::FlashLaunch> launch =
        module ? update::BuildFlashLaunch(*module) : std::nullopt;
    update::UtilityRun run = update::UtilityRun::Refused;
    {
        update::HeldPackage package;
        // Nothing can start in a folder too long for its files' paths: the
        // run goes on as after a start that failed.
        const update::PackageCheck check = launch && update::CanStartIn(*launch)
                                               ? package.Hold(launch->directory)
                                               : update::PackageCheck::TooLong;
        if (check != update::PackageCheck::Changed) {
            ShowStatus(IDS_UPDATING);
            m_power.Read();
            Os().Sleep(1000);
            run =
                check == update::PackageCheck::AsBuilt
                    ? RunProcessAndWait(launch->application, launch->commandLine, launch->directory,
                                        [&package] { return package.LooksAsBuilt(); })
                    : update::UtilityRun::NotStarted;
        }
    }
    switch (run) {
        case update::UtilityRun::Ran:
            WriteUpdateMarker();
            m_pDlg->PostFinish();
            break;
        case update::UtilityRun::NotStarted:
            m_pDlg->RecordNothingDone();
            m_pDlg->PostFinish();
            break;
        case update::UtilityRun::Refused:
            m_pDlg->RecordNothingDone();
            EndWithoutFlash(IDS_PACKAGE_CHANGED, 5000);
            break;
        case update::UtilityRun::BitLockerOn:
            m_pDlg->RecordNothingDone();
            EndWithoutFlash(IDS_SUSPEND_BITLOCKER, 5000);
            break;
    }
}

void CHWDriverDownloadThread::EndWithoutFlash(unsigned statusId, unsigned long pause) {
    ShowStatus(statusId);
    Os().Sleep(pause);
    m_pDlg->ArmExitTimer();
    m_pDlg->PostFinish();
}
