#include "tools/uidriver/Probe.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace uidriver {

namespace {

struct FirmwareStrings {
    std::string vendor = "-";
    std::string version = "-";
};

// The n-th (1-based) string of the structure whose formatted area starts at
// `at`; "" when it is missing.
std::string SmbiosString(const BYTE* at, const BYTE* end, BYTE index) {
    const BYTE* s = at + at[1];
    for (BYTE n = 1; s < end && *s; ++n) {
        const BYTE* stop = s;
        while (stop < end && *stop) ++stop;
        if (n == index) return std::string(reinterpret_cast<const char*>(s), stop - s);
        s = stop + 1;
    }
    return std::string();
}

FirmwareStrings ReadFirmware() {
    FirmwareStrings result;
    const DWORD rsmb = 'R' << 24 | 'S' << 16 | 'M' << 8 | 'B';
    UINT size = GetSystemFirmwareTable(rsmb, 0, nullptr, 0);
    if (size < 8) return result;
    std::vector<BYTE> raw(size);
    if (GetSystemFirmwareTable(rsmb, 0, raw.data(), size) != size) return result;
    DWORD length = *reinterpret_cast<const DWORD*>(&raw[4]);
    const BYTE* p = raw.data() + 8;
    const BYTE* end = p + (length < size - 8 ? length : size - 8);
    while (p + 4 <= end && p[1] >= 4) {
        if (p[0] == 0 && p[1] > 5) {
            result.vendor = SmbiosString(p, end, p[4]);
            result.version = SmbiosString(p, end, p[5]);
            return result;
        }
        const BYTE* next = p + p[1];
        while (next + 1 < end && (next[0] || next[1])) ++next;
        p = next + 2;
    }
    return result;
}

}  // namespace

std::string ProbeReport() {
    SYSTEM_POWER_STATUS power = {};
    BOOL powerOk = GetSystemPowerStatus(&power);
    FirmwareStrings firmware = ReadFirmware();
    char text[512];
    std::snprintf(text, sizeof text,
                  "power_ok=%d\nac_line=%u\nbattery_flag=%u\nbattery_percent=%u\n"
                  "system_lcid=%lu\nuser_lcid=%lu\nui_language=%u\nacp=%u\n"
                  "screen=%dx%d\nbios_vendor=%s\nbios_version=%s\n",
                  powerOk ? 1 : 0, power.ACLineStatus, power.BatteryFlag, power.BatteryLifePercent,
                  static_cast<unsigned long>(GetSystemDefaultLCID()),
                  static_cast<unsigned long>(GetUserDefaultLCID()), GetUserDefaultUILanguage(),
                  GetACP(), GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                  firmware.vendor.c_str(), firmware.version.c_str());
    return text;
}

}  // namespace uidriver
