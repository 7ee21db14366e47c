#include "ui/BiosUpdateDlg.h"

#include "app/Markers.h"
#include "app/WorkFolder.h"
#include "platform/Win32Constants.h"
#include "res/resource.h"
#include "update/DownloadThread.h"

using platform::Os;

namespace {
constexpr unsigned long kBlack = Rgb(0, 0, 0);
constexpr platform::Lparam kMonitorOn = -1;

// System commands that would minimise, move, resize or blank the screen.
// SC_CLOSE is not among them: it becomes WM_CLOSE, which is answered there.
bool TakesScreenAway(platform::Wparam wParam, platform::Lparam lParam) {
    switch (static_cast<unsigned>(wParam & 0xFFF0)) {
        case win::SC_MINIMIZE:
        case win::SC_MAXIMIZE:
        case win::SC_MOVE:
        case win::SC_SIZE:
        case win::SC_SCREENSAVE:
            return true;
        case win::SC_MONITORPOWER:
            return lParam != kMonitorOn;
        default:
            return false;
    }
}
}  // namespace

CBiosUpdateDlg::CBiosUpdateDlg(CDialog* parent)
    : CDialog(IDD_BIOSUPDATE_DIALOG, parent),
      m_hIcon(Os().LoadIconA(IDR_MAINFRAME)),
      m_pStatusLock(Os().CreateLock()),
      m_hBlackBrush(Os().CreateSolidBrush(kBlack)) {}

CBiosUpdateDlg::~CBiosUpdateDlg() { Os().VariantClear(m_varValue); }

const CDialog::MessageEntry* CBiosUpdateDlg::GetMessageMap() const {
    static const MessageEntry messageMap[] = {
        {win::WM_PAINT, win::WM_PAINT, Route(&CBiosUpdateDlg::OnPaintMessage)},
        {win::WM_QUERYDRAGICON, win::WM_QUERYDRAGICON, Route(&CBiosUpdateDlg::OnQueryDragIcon)},
        {win::WM_LBUTTONDOWN, win::WM_LBUTTONDOWN, Route(&CBiosUpdateDlg::OnLButtonDown)},
        {win::WM_TIMER, win::WM_TIMER, Route(&CBiosUpdateDlg::OnTimerMessage)},
        {win::WM_CTLCOLORMSGBOX, win::WM_CTLCOLORSTATIC, Route(&CBiosUpdateDlg::OnCtlColor)},
        {win::WM_SIZE, win::WM_SIZE, Route(&CBiosUpdateDlg::OnSize)},
        {win::WM_QUERYENDSESSION, win::WM_QUERYENDSESSION,
         Route(&CBiosUpdateDlg::OnQueryEndSession)},
        {0, 0, nullptr},
    };
    return messageMap;
}

bool CBiosUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    KeepMachineAwake();

    platform::WindowHandle window = GetSafeHwnd();
    Os().SendMessageA(window, win::WM_SETICON, win::ICON_BIG, reinterpret_cast<Lparam>(m_hIcon));
    Os().SendMessageA(window, win::WM_SETICON, win::ICON_SMALL, reinterpret_cast<Lparam>(m_hIcon));
    Os().ModifyStyleEx(window, win::WS_EX_APPWINDOW, win::WS_EX_TOOLWINDOW);

    Os().LoadStringA(IDS_APP_TITLE, m_strMessage);
    Os().SetWindowTextA(window, m_strMessage);

    Os().LoadStringA(IDS_CONFIRM, m_strMessage);
    if (AskToConfirm() == win::IDNO) {
        QuitWithoutFinish(ui::Signal::Declined);
        return false;
    }

    m_run.Take(ui::Signal::Confirmed);
    CScreenKeeper::CoverScreen(window);
    Os().CenterWindow(window);
    Os().LoadStringA(IDS_INITIALIZING, m_strMessage);
    Os().Sleep(2000);
    SetStatus(m_strMessage);
    Repaint(window);
    Os().SetTimer(window, TIMER_START, 500);
    return true;
}

// A quit request from elsewhere ends the box without the user's answer (and
// stays in the queue); its result would count as yes: ask again instead.
int CBiosUpdateDlg::AskToConfirm() {
    for (;;) {
        int answer = Os().MessageBoxA(GetSafeHwnd(), m_strMessage, kConfirmCaption, win::MB_YESNO);
        if (!Os().TakeQuitRequest()) return answer;
    }
}

CDialog::Lresult CBiosUpdateDlg::WindowProc(unsigned message, Wparam wParam, Lparam lParam) {
    switch (message) {
        case WM_UPDATE_FINISH:
            TakeWorkerSignals();
            break;
        case WM_ARM_EXIT_TIMER:
            TakeExitTimerRequest();
            return 0;
        case WM_UPDATE_QUIT:
            TakeOwnQuit();
            break;
        case win::WM_POWERBROADCAST:
            if (wParam == win::PBT_APMQUERYSUSPEND || wParam == win::PBT_APMSUSPEND) {
                return win::BROADCAST_QUERY_DENY;
            }
            if (wParam == win::PBT_APMPOWERSTATUSCHANGE) m_powerWake.Wake();
            break;
        case win::WM_CLOSE:
            RemoveWorkFolder();
            return 0;
        case win::WM_SYSCOMMAND:
            if (m_run.HoldsScreen() && TakesScreenAway(wParam, lParam)) return 0;
            break;
        default:
            break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CBiosUpdateDlg::PreTranslateMessage(const platform::QueuedMessage& msg) {
    // Key-downs skip the dialog keys: Esc and Enter must not end the run.
    if (msg.message == win::WM_KEYDOWN) return false;
    return CDialog::PreTranslateMessage(msg);
}

void CBiosUpdateDlg::OnTimer(Wparam id) {
    platform::WindowHandle window = GetSafeHwnd();
    switch (id) {
        case TIMER_EXIT:
            // The worker must be done with the dialog before it may go.
            if (!m_bWorkerDone || m_run.Current() != ui::Stage::Finishing) break;
            Os().KillTimer(window, TIMER_EXIT);
            QuitWithoutFinish(ui::Signal::ExitTick);
            break;
        case TIMER_START:
            // Once only: a second tick would start a second worker.
            if (!m_run.Take(ui::Signal::StartTick)) break;
            Os().SetTimer(window, TIMER_ANIMATE, 100);
            Os().KillTimer(window, TIMER_START);
            StartUpdate();
            break;
        case TIMER_ANIMATE:
            m_nAnimStep = m_nAnimStep >= 31 ? 0 : m_nAnimStep + 1;
            // A minimised window ignores placement until it is restored.
            if (Os().IsIconic(window)) Os().ShowWindow(window, win::SW_RESTORE);
            m_keeper.KeepInFront(window);
            Repaint(window);
            // The run's own signals, should their messages have been lost:
            // posted messages come before a tick.
            TakeWorkerSignals();
            if (m_run.Current() == ui::Stage::Quitting) TakeOwnQuit();
            break;
        default:
            break;
    }
}

void CBiosUpdateDlg::StartUpdate() {
    QueryIdentity();
    m_hWorkerWindow = GetSafeHwnd();
    m_pThread = new CHWDriverDownloadThread(this);
    if (!m_pThread->CreateThread()) {
        delete m_pThread;
        m_pThread = nullptr;
        QuitWithoutFinish(ui::Signal::WorkerFailed);
        return;
    }
    m_run.Take(ui::Signal::WorkerStarted);
}

// The ends without the worker's finish: declined, a worker that could not
// start, the exit timer.
void CBiosUpdateDlg::QuitWithoutFinish(ui::Signal why) {
    m_run.Take(why);
    RemoveWorkFolder();
    PostQuit();
}

// What the worker has signalled, in the order it signals: the exit timer's
// request comes before its finish.
void CBiosUpdateDlg::TakeWorkerSignals() {
    TakeExitTimerRequest();
    if (m_bWorkerDone && m_run.Take(ui::Signal::WorkerFinished)) {
        if (!m_bNothingDone) CreateUpdateFolder();
        RemoveWorkFolder();
        Os().PostQuitMessage(0);
    }
}

void CBiosUpdateDlg::TakeExitTimerRequest() {
    if (m_bExitTimerRequested && m_run.Take(ui::Signal::ExitTimerRequest)) {
        Os().SetTimer(GetSafeHwnd(), TIMER_EXIT, 3000);
    }
}

void CBiosUpdateDlg::WaitForWorker() const {
    // m_pThread stays set only for a worker whose thread was started.
    while (m_pThread && !m_bWorkerDone) Os().Sleep(100);
}

void CBiosUpdateDlg::ShowStatus(const std::string& text) {
    SetStatus(text);
    Repaint(m_hWorkerWindow);
}

void CBiosUpdateDlg::ArmExitTimer() {
    m_bExitTimerRequested = true;
    Os().PostMessageA(m_hWorkerWindow, WM_ARM_EXIT_TIMER, 0, 0);
}

void CBiosUpdateDlg::PostFinish() {
    platform::WindowHandle window = m_hWorkerWindow;
    // From here on the dialog may end and be destroyed: only the local copy
    // of the handle is used.
    m_bWorkerDone = true;
    Os().PostMessageA(window, WM_UPDATE_FINISH, 0, 0);
}

// A queue that refuses the message (full, say) must not keep the run from
// ending: the quit is then taken at once.
void CBiosUpdateDlg::PostQuit() {
    if (!Os().PostMessageA(GetSafeHwnd(), WM_UPDATE_QUIT, 0, 0)) TakeOwnQuit();
}

void CBiosUpdateDlg::TakeOwnQuit() {
    if (m_run.Take(ui::Signal::OwnQuit)) Os().PostQuitMessage(0);
}

std::string CBiosUpdateDlg::CopyStatus() const {
    platform::ScopedLock hold(*m_pStatusLock);
    return m_strStatus;
}

void CBiosUpdateDlg::SetStatus(const std::string& text) {
    platform::ScopedLock hold(*m_pStatusLock);
    m_strStatus = text;
}

// With no window there is nothing to repaint.
void CBiosUpdateDlg::Repaint(platform::WindowHandle window) {
    if (window) Os().InvalidateRect(window, false);
}

// The machine stays awake and log-off waits, with the reason shown, while
// the window exists.
void CBiosUpdateDlg::KeepMachineAwake() {
    Os().SetThreadExecutionState(win::ES_CONTINUOUS | win::ES_SYSTEM_REQUIRED |
                                 win::ES_DISPLAY_REQUIRED);
    std::string reason;
    Os().LoadStringA(IDS_UPDATING, reason);
    Os().ShutdownBlockReasonCreate(GetSafeHwnd(), Os().Utf16FromAnsi(reason));
    m_bHoldingMachine = true;
}

void CBiosUpdateDlg::ReleaseMachine() {
    if (!m_bHoldingMachine) return;
    Os().ShutdownBlockReasonDestroy(GetSafeHwnd());
    Os().SetThreadExecutionState(win::ES_CONTINUOUS);
    m_bHoldingMachine = false;
}

void CBiosUpdateDlg::OnWindowDestroyed() { ReleaseMachine(); }

CDialog::Lresult CBiosUpdateDlg::OnPaintMessage(Wparam, Lparam) {
    OnPaint();
    return 0;
}

CDialog::Lresult CBiosUpdateDlg::OnQueryDragIcon(Wparam, Lparam) {
    return reinterpret_cast<Lresult>(m_hIcon);
}

CDialog::Lresult CBiosUpdateDlg::OnLButtonDown(Wparam, Lparam) { return Default(); }

CDialog::Lresult CBiosUpdateDlg::OnTimerMessage(Wparam wParam, Lparam) {
    OnTimer(wParam);
    return Default();
}

CDialog::Lresult CBiosUpdateDlg::OnCtlColor(Wparam wParam, Lparam) {
    Default();
    Os().SetBkColor(reinterpret_cast<platform::DcHandle>(wParam), kBlack);
    return reinterpret_cast<Lresult>(m_hBlackBrush.Get());
}

CDialog::Lresult CBiosUpdateDlg::OnSize(Wparam, Lparam) { return Default(); }

CDialog::Lresult CBiosUpdateDlg::OnQueryEndSession(Wparam, Lparam) {
    Default();
    return 0;
}
