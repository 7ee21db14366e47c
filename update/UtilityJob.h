// The flash utility's run, from its suspended start to the end of the last
// process it started.
#pragma once

#include <functional>

#include "update/FlashCommand.h"
#include "update/FlashOutcome.h"
#include "update/PowerWatch.h"
#include "update/WorkerHost.h"

namespace update {

// How often the job's processes are read while no message comes. The job's
// port tells of new processes and of the end at once; the poll only covers
// lost messages, and each read wakes the system's server, so it is rare.
// Every wait for the utility wakes at least this often to read the power.
constexpr unsigned long kJobPollMs = 1000;

// How long mains power off holds the start before the run gives up.
constexpr unsigned long kMainsWaitMs = 60000;

// Holds the start while mains power is off (power's warning shows), up to
// kMainsWaitMs (NoMains). Then starts the utility suspended, puts it in a job
// where the system allows, gives it the instance guard, lets it run, and
// returns once it and every process of its job have ended; without a job,
// once it has ended: Crashed when the utility or a helper it watched ended on
// an exception, Flashed otherwise. Returns at once when it cannot be started
// (NotStarted), and ends it unrun when it cannot be resumed (NotStarted).
// Looks at its folder (looksAsBuilt) right before the start and again right
// before the resume (Refused), then suspends BitLocker for one restart
// (BitLockerOn when it cannot). Keeps host told of the utility's processes
// while they run, and power read at every wake of the wait.
FlashResult RunUtility(const FlashLaunch& launch, WorkerHost& host, PowerWatch& power,
                       const std::function<bool()>& looksAsBuilt);

}  // namespace update
