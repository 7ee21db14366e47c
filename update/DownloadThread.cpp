#include "update/DownloadThread.h"

#include <optional>
#include <utility>

#include "app/Markers.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "update/FlashCommand.h"
#include "update/Identifier.h"
#include "update/PowerWatch.h"
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

update::FlashResult CHWDriverDownloadThread::RunProcessAndWait(
    std::string application, std::string commandLine, std::string directory,
    const std::function<bool()>& looksAsBuilt) {
    update::PowerWatch power(*m_pDlg, m_strScratch);
    return update::RunUtility(
        update::FlashLaunch{std::move(application), std::move(commandLine), std::move(directory)},
        *m_pDlg, power, looksAsBuilt);
}

// A string that cannot be loaded leaves the previous text to be shown again.
void CHWDriverDownloadThread::LoadStatus(unsigned id) { Os().LoadStringA(id, m_strScratch); }

void CHWDriverDownloadThread::ShowLoadedStatus() { m_pDlg->ShowStatus(m_strScratch); }

void CHWDriverDownloadThread::ShowStatus(unsigned id) {
    LoadStatus(id);
    ShowLoadedStatus();
}

// Only a flash records the update. Every other end says why for a while and
// records nothing as done, so that a later run is not skipped.
void CHWDriverDownloadThread::FlashPackage() {
    const update::FlashEnding& ending = update::EndingOf(CheckAndFlash());
    if (ending.recordsUpdate) {
        WriteUpdateMarker();
        m_pDlg->PostFinish();
        return;
    }
    m_pDlg->RecordNothingDone();
    EndWithoutFlash(ending.statusId, update::kEndingShownMs);
}

// The utility runs as administrator: only the files the program was built
// for, held unchanged until it and its helpers have ended.
update::FlashResult CHWDriverDownloadThread::CheckAndFlash() {
    std::optional<std::string> module = Os().GetModuleFileNameA();
    std::optional<update::FlashLaunch> launch =
        module ? update::BuildFlashLaunch(*module) : std::nullopt;
    if (!launch || !update::CanStartIn(*launch)) return update::FlashResult::UnusableFolder;
    update::HeldPackage package;
    switch (package.Hold(launch->directory)) {
        case update::PackageCheck::Changed:
            return update::FlashResult::Refused;
        case update::PackageCheck::Unusable:
            return update::FlashResult::UnusableFolder;
        case update::PackageCheck::AsBuilt:
            break;
    }
    ShowStatus(IDS_UPDATING);
    Os().Sleep(1000);
    return RunProcessAndWait(launch->application, launch->commandLine, launch->directory,
                             [&package] { return package.LooksAsBuilt(); });
}

void CHWDriverDownloadThread::EndWithoutFlash(unsigned statusId, unsigned long pause) {
    ShowStatus(statusId);
    Os().Sleep(pause);
    m_pDlg->ArmExitTimer();
    m_pDlg->PostFinish();
}
