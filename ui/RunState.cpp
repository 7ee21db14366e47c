#include "ui/RunState.h"

namespace ui {

namespace {

struct Transition {
    Stage from;
    Signal signal;
    Stage to;
};

// Every move a run can make; anything else is refused.
constexpr Transition kTransitions[] = {
    {Stage::Asking, Signal::Declined, Stage::Quitting},
    {Stage::Asking, Signal::Confirmed, Stage::Pausing},
    {Stage::Pausing, Signal::StartTick, Stage::Starting},
    {Stage::Starting, Signal::WorkerStarted, Stage::Working},
    {Stage::Starting, Signal::WorkerFailed, Stage::Quitting},
    {Stage::Working, Signal::ExitTimerRequest, Stage::Finishing},
    {Stage::Working, Signal::WorkerFinished, Stage::Ending},
    {Stage::Finishing, Signal::WorkerFinished, Stage::Ending},
    {Stage::Finishing, Signal::ExitTick, Stage::Quitting},
    {Stage::Quitting, Signal::OwnQuit, Stage::Ending},
    {Stage::Ending, Signal::LoopQuit, Stage::Ending},
};

}  // namespace

bool RunState::Take(Signal signal) {
    for (const Transition& t : kTransitions) {
        if (t.from == m_stage && t.signal == signal) {
            m_stage = t.to;
            return true;
        }
    }
    return false;
}

}  // namespace ui
