// The update dialog: confirmation, the full-screen picture, the timers, and
// the refusal of every ordinary way out while the update runs.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/framework/CDialog.h"
#include "ui/MemoryDc.h"
#include "ui/PowerWake.h"
#include "ui/RunState.h"
#include "ui/ScreenKeeper.h"
#include "update/WorkerHost.h"

class CHWDriverDownloadThread;

// Posted to the dialog with wParam 0 and lParam 0.
constexpr unsigned WM_UPDATE_FINISH = 0x0806;
constexpr unsigned WM_UPDATE_QUIT = 0x0807;
// Private: the worker's request to arm TIMER_EXIT, carried out on the
// dialog's thread (only a window's own thread may set its timers).
constexpr unsigned WM_ARM_EXIT_TIMER = 0x8000 + 0x0806;

constexpr unsigned TIMER_START = 2048;
constexpr unsigned TIMER_ANIMATE = 2053;
constexpr unsigned TIMER_EXIT = 3935;

constexpr const char* kConfirmCaption = "Corvane - Urgent Update";

class CBiosUpdateDlg : public CDialog, public WorkerHost {
public:
    explicit CBiosUpdateDlg(CDialog* parent);
    ~CBiosUpdateDlg() override;

    bool PreTranslateMessage(const platform::QueuedMessage& msg) override;
    Lresult WindowProc(unsigned message, Wparam wParam, Lparam lParam) override;
    bool OnInitDialog() override;
    // The dialog keys' commands end nothing: only the run's own signals do.
    void OnOK() override {}
    void OnCancel() override {}

    // The whole id: timer ids are pointer-sized.
    void OnTimer(Wparam id);
    // Returns once the worker can no longer reach the dialog.
    void WaitForWorker() const;
    const ui::RunState& Run() const { return m_run; }
    int AnimationStep() const { return m_nAnimStep; }

    // The identity query: reads the running BIOS version into m_strBiosVersion.
    void QueryIdentity();

    // WorkerHost, called on the worker's thread: each reaches the window
    // through the copy of its handle taken before the worker started.
    const std::string& BiosVersion() const override { return m_strBiosVersion; }
    void ShowStatus(const std::string& text) override;
    void ArmExitTimer() override;
    void RecordNothingDone() override { m_bNothingDone = true; }
    void PostFinish() override;
    void ShowUtilityProcesses(const std::vector<unsigned long>& processIds) override {
        m_keeper.ShowUtilityProcesses(processIds);
    }
    void WakeOnPowerChange(platform::KernelHandle port) override { m_powerWake.Attach(port); }

    // A copy of the status line, taken under the status lock.
    std::string CopyStatus() const;

    // The identity query's references.
    platform::ScopedComPtr m_pServices;
    platform::ScopedComPtr m_pEnum;
    platform::ScopedComPtr m_pObject;

protected:
    const MessageEntry* GetMessageMap() const override;
    void OnWindowDestroyed() override;
    bool EndsOnQuit() override { return m_run.Take(ui::Signal::LoopQuit); }

private:
    void OnPaint();
    void StartUpdate();
    bool ConnectWmi();
    bool GetFirstInstance(const std::u16string& className, platform::ScopedComPtr& enumerator,
                          platform::ScopedComPtr& object);
    bool GetPropertyValue(const std::u16string& name, platform::ComObject* object,
                          platform::Variant& value);

    Lresult OnPaintMessage(Wparam wParam, Lparam lParam);
    Lresult OnQueryDragIcon(Wparam wParam, Lparam lParam);
    Lresult OnLButtonDown(Wparam wParam, Lparam lParam);
    Lresult OnTimerMessage(Wparam wParam, Lparam lParam);
    Lresult OnCtlColor(Wparam wParam, Lparam lParam);
    Lresult OnSize(Wparam wParam, Lparam lParam);
    Lresult OnQueryEndSession(Wparam wParam, Lparam lParam);

    int AskToConfirm();
    void QuitWithoutFinish(ui::Signal why);
    void PostQuit();
    void TakeOwnQuit();
    void TakeWorkerSignals();
    void TakeExitTimerRequest();
    void Repaint(platform::WindowHandle window);
    void SetStatus(const std::string& text);
    void KeepMachineAwake();
    void ReleaseMachine();
    void PaintIcon();
    void LoadPictures(platform::DcHandle screen, unsigned backgroundId);

    std::string m_strBiosVersion;
    std::string m_strStatus;  // only under m_pStatusLock
    int m_nAnimStep = 0;
    std::string m_strMessage;
    platform::Variant m_varValue;  // what the identity query reads
    CHWDriverDownloadThread* m_pThread = nullptr;
    platform::IconHandle m_hIcon = nullptr;

    std::unique_ptr<platform::Lock> m_pStatusLock;
    // The window as the worker knows it: copied before the worker starts,
    // never changed while it runs.
    platform::WindowHandle m_hWorkerWindow = nullptr;
    // The screen's place among the windows, the utility's told by the worker.
    CScreenKeeper m_keeper;
    CPowerWake m_powerWake;
    platform::ScopedGdiObject m_hBlackBrush;
    bool m_bHoldingMachine = false;
    // Only the run's own signals end it; a message number alone proves
    // nothing, since any program may post it or send it. The worker's two
    // flags are set on its thread before it posts the message they vouch
    // for; the run state belongs to the dialog's thread.
    std::atomic<bool> m_bExitTimerRequested{false};
    std::atomic<bool> m_bWorkerDone{false};   // the worker's last touch of the dialog
    std::atomic<bool> m_bNothingDone{false};  // the run leaves no update folder
    ui::RunState m_run;
    // Loaded once and kept between paints: the background as stored, the
    // marker piece, and the canvas each paint composes on.
    platform::ScopedGdiObject m_hBackground;
    unsigned m_nBackgroundId = 0;
    platform::ScopedGdiObject m_hPiece;
    platform::ScopedGdiObject m_hCanvas;
    unsigned m_nCanvasBackgroundId = 0;  // the background the canvas was copied from
    // Memory contexts holding the three, made at the first paint.
    CMemoryDc m_dcBackground;
    CMemoryDc m_dcPiece;
    CMemoryDc m_dcCanvas;
};
