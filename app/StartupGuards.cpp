#include "app/StartupGuards.h"

#include "platform/CharClass.h"

namespace app {

using platform::IsSpace;

bool IsCleanupRequest(const std::string& arguments) {
    std::size_t i = 0;
    while (i < arguments.size() && IsSpace(arguments[i])) ++i;
    bool negative = false;
    if (i < arguments.size() && (arguments[i] == '+' || arguments[i] == '-')) {
        negative = arguments[i] == '-';
        ++i;
    }
    std::size_t firstDigit = i;
    long long value = 0;
    for (; i < arguments.size() && arguments[i] >= '0' && arguments[i] <= '9'; ++i) {
        if (value <= 2) value = value * 10 + (arguments[i] - '0');  // only 1 matters
    }
    return i > firstDigit && !negative && value == 1;
}

PowerVerdict CheckPower(bool statusRead, const platform::PowerStatus& status) {
    if (!statusRead) return PowerVerdict::LowBattery;
    if (status.acLineStatus == 0) return PowerVerdict::NoMains;
    if (static_cast<unsigned char>(status.batteryLifePercent - 20) > 80) {
        return PowerVerdict::LowBattery;
    }
    return PowerVerdict::Allowed;
}

}  // namespace app
