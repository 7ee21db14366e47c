#include "update/PowerWatch.h"

#include "platform/Platform.h"
#include "res/resource.h"

namespace update {

namespace {
constexpr unsigned char kOffline = 0;
constexpr unsigned char kOnline = 1;
}  // namespace

bool PowerWatch::Read() {
    platform::PowerStatus status;
    if (!platform::Os().GetSystemPowerStatus(status)) return false;
    if (status.acLineStatus == kOffline && !m_bWarning) {
        // A warning that cannot be loaded would blank the line instead.
        if (!m_strWarning.empty() ||
            platform::Os().LoadStringA(IDS_ADAPTER_UNPLUGGED, m_strWarning)) {
            m_bWarning = true;
            m_host.ShowStatus(m_strWarning);
        }
    } else if (status.acLineStatus == kOnline) {
        Withdraw();
    }
    return status.acLineStatus == kOffline;
}

void PowerWatch::Withdraw() {
    if (!m_bWarning) return;
    m_bWarning = false;
    m_host.ShowStatus(m_strShown);
}

}  // namespace update
