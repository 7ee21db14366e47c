// The running BIOS version, read through WMI on the dialog's thread under the
// process-wide COM security set at start-up.
#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"
#include "sysinfo/WmiSession.h"
#include "ui/BiosUpdateDlg.h"

using platform::Os;

namespace {
constexpr const char* kNamespace = "\\\\.\\root\\cimv2";
constexpr const char16_t* kBiosClass = u"Win32_BIOS";
constexpr const char16_t* kVersionProperty = u"SMBIOSBIOSVersion";
constexpr long kFirstFetchTimeout = 2000;

// The value up to its first NUL; anything but a string reads as empty.
std::u16string TextOf(const platform::Variant& value) {
    if (value.type != platform::Variant::Type::String) return std::u16string();
    return value.text.substr(0, value.text.find(u'\0'));
}
}  // namespace

void CBiosUpdateDlg::QueryIdentity() {
    if (!ConnectWmi()) return;
    if (GetFirstInstance(kBiosClass, m_pEnum, m_pObject) &&
        GetPropertyValue(kVersionProperty, m_pObject.Get(), m_varValue)) {
        m_strBiosVersion = Os().AnsiFromUtf16(TextOf(m_varValue));
        Os().MbsUpr(m_strBiosVersion);
    }
}

bool CBiosUpdateDlg::ConnectWmi() {
    return sysinfo::ConnectToNamespace(Os().Utf16FromAnsi(kNamespace), m_pServices);
}

bool CBiosUpdateDlg::GetFirstInstance(const std::u16string& className,
                                      platform::ScopedComPtr& enumerator,
                                      platform::ScopedComPtr& object) {
    platform::Hresult hr;
    {
        platform::ScopedBstr name(className);
        if (!name.Get()) return false;
        hr = Os().CreateInstanceEnum(m_pServices.Get(), name.Get(), 0, enumerator.Receive());
    }
    if (hr < 0) return false;
    unsigned long returned = 0;
    hr = Os().EnumNext(enumerator.Get(), kFirstFetchTimeout, 1, object.Receive(), returned);
    return hr >= 0 && returned == 1;
}

bool CBiosUpdateDlg::GetPropertyValue(const std::u16string& name, platform::ComObject* object,
                                      platform::Variant& value) {
    Os().VariantClear(value);
    platform::ScopedBstr property(name);
    if (!property.Get()) return false;
    return Os().GetProperty(object, property.Get(), 0, value) >= 0;
}
