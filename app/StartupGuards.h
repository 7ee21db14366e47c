// The decisions of the start-up guards, as plain functions over plain values.
#pragma once

#include <string>

#include "platform/Types.h"

namespace app {

// True when the first number of the arguments, read as "%d" reads it, is 1.
bool IsCleanupRequest(const std::string& arguments);

enum class PowerVerdict { Allowed, NoMains, LowBattery };

// Mains must not be offline and the charge must lie within 20..100 %. A status
// the system could not report refuses like a missing charge figure.
PowerVerdict CheckPower(bool statusRead, const platform::PowerStatus& status);

}  // namespace app
