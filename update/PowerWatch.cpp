#include "update/PowerWatch.h"

#include "platform/Platform.h"
#include "res/resource.h"

namespace update {

namespace {
constexpr unsigned char kOffline = 0;
constexpr unsigned char kOnline = 1;
}  // namespace

void PowerWatch::Read() {
    platform::PowerStatus status;
    if (!platform::Os().GetSystemPowerStatus(status)) return;
    if (status.acLineStatus == kOffline && !m_bWarning) {
        // A warning that cannot be loaded would blank the line instead.
        if (m_strWarning.empty() &&
            !platform::Os().LoadStringA(IDS_ADAPTER_UNPLUGGED, m_strWarning)) {
            return;
        }
        m_bWarning = true;
        m_host.ShowStatus(m_strWarning);
    } else if (status.acLineStatus == kOnline && m_bWarning) {
        m_bWarning = false;
        m_host.ShowStatus(m_shown);
    }
}

}  // namespace update
