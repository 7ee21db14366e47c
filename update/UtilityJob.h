// The flash utility's run, from its suspended start to the end of the last
// process it started.
#pragma once

#include "platform/Types.h"

namespace update {

// How often the job's count of running processes is read while no message
// comes.
constexpr unsigned long kJobPollMs = 250;

// Takes the suspended utility: puts it in a job where the system allows,
// gives it the instance guard, lets it run, and returns once it and every
// process of its job have ended; without a job, once it has ended. Closes
// both handles.
void ResumeAndWait(const platform::ProcessInfo& started);

}  // namespace update
