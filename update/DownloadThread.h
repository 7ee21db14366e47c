// The update worker: walks the status line, decides whether to flash, runs
// the flash utility, writes the update marker and ends the run.
#pragma once

#include <functional>
#include <string>

#include "platform/framework/CWinThread.h"
#include "update/FlashOutcome.h"
#include "update/WorkerHost.h"

class CHWDriverDownloadThread : public CWinThread {
public:
    explicit CHWDriverDownloadThread(WorkerHost* dialog) : m_pDlg(dialog) {}
    ~CHWDriverDownloadThread() override = default;

    // Waits a second, runs the decision, and returns false to end the thread.
    bool InitInstance() override;
    // Always 0.
    int RunUpdateDecision();
    // Starts application with the command line in directory once mains
    // power is on, and waits until it and every process it started have
    // ended, reading the power status meanwhile; returns at once when it
    // cannot be started, or when a look at directory (looksAsBuilt) fails.
    // The status shown is the one the power warning gives back.
    update::FlashResult RunProcessAndWait(std::string application, std::string commandLine,
                                          std::string directory,
                                          const std::function<bool()>& looksAsBuilt);

    WorkerHost* const m_pDlg;
    std::string m_strPlatform;

private:
    void LoadStatus(unsigned id);
    void ShowLoadedStatus();
    void ShowStatus(unsigned id);
    void FlashPackage();
    update::FlashResult CheckAndFlash();
    void EndWithoutFlash(unsigned statusId, unsigned long pause);

    std::string m_strScratch;  // the status text loaded last
};
