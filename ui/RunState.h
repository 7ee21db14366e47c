// Where one run of the dialog stands, and what each real signal of the run
// moves it to. Every request that reaches the dialog is judged here: a
// signal that means nothing in the current stage changes nothing.
#pragma once

namespace ui {

enum class Stage {
    Asking,     // the confirmation box is up
    Pausing,    // confirmed; TIMER_START armed
    Starting,   // TIMER_START fired; the identity query and the worker's start
    Working,    // the worker runs
    Finishing,  // the worker asked for TIMER_EXIT, which is armed
    Quitting,   // the dialog posted WM_UPDATE_QUIT to itself
    Ending,     // the dialog asked its UI loop to end
};

enum class Signal {
    Declined,          // the user answered No
    Confirmed,         // any other answer
    StartTick,         // TIMER_START expired
    WorkerStarted,     // the worker's thread runs
    WorkerFailed,      // the worker's thread could not be started
    ExitTimerRequest,  // the worker has asked for TIMER_EXIT
    WorkerFinished,    // the worker has given its last signal
    ExitTick,          // TIMER_EXIT expired, the worker finished
    OwnQuit,           // WM_UPDATE_QUIT while the dialog has one posted
    LoopQuit,          // the UI loop took a quit request
};

class RunState {
public:
    Stage Current() const { return m_stage; }
    // Moves to the signal's next stage; false, and no change, when the signal
    // means nothing in the current one.
    bool Take(Signal signal);
    // After the answer Yes the screen is the program's: nothing may take it away.
    bool HoldsScreen() const { return m_stage != Stage::Asking; }

private:
    Stage m_stage = Stage::Asking;
};

}  // namespace ui
