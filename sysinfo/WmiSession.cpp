#include "sysinfo/WmiSession.h"

#include <algorithm>

#include "platform/Win32Constants.h"

using platform::Os;

namespace sysinfo {

namespace {

constexpr platform::Hresult kNotConnected =
    static_cast<platform::Hresult>(0x80041001);  // WBEM_E_FAILED

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

}  // namespace

bool ConnectToNamespace(const std::u16string& nameSpace, platform::ScopedComPtr& services) {
    platform::ScopedComPtr locator;
    if (Os().CreateWbemLocator(locator.Receive()) != win::S_OK) return false;
    platform::ScopedBstr path(nameSpace);
    if (!path.Get() || Os().ConnectServer(locator.Get(), path.Get(), services.Receive()) < 0) {
        services.Reset();
        return false;
    }
    return true;
}

bool WmiSession::Connect(const std::u16string& nameSpace) {
    return ConnectToNamespace(nameSpace, m_pServices);
}

std::optional<std::u16string> WmiSession::FindInstance(const std::u16string& className,
                                                       const std::u16string& property,
                                                       const std::u16string& text) {
    platform::ScopedComPtr enumerator;
    {
        platform::ScopedBstr name(className);
        if (!m_pServices.Get() || !name.Get() ||
            Os().CreateInstanceEnum(m_pServices.Get(), name.Get(),
                                    win::WBEM_FLAG_RETURN_IMMEDIATELY | win::WBEM_FLAG_FORWARD_ONLY,
                                    enumerator.Receive()) < 0) {
            return std::nullopt;
        }
    }
    for (;;) {
        platform::ScopedComPtr object;
        unsigned long returned = 0;
        if (Os().EnumNext(enumerator.Get(), m_nFetchTimeoutMs, 1, object.Receive(), returned) < 0 ||
            returned != 1) {
            return std::nullopt;
        }
        const std::optional<std::u16string> value = Read(object.Get(), property);
        if (value && SameIgnoringCase(*value, text)) return Read(object.Get(), u"__RELPATH");
    }
}

platform::Hresult WmiSession::Call(const std::u16string& className,
                                   const std::u16string& objectPath, const std::u16string& method,
                                   const platform::WmiValues& inputs,
                                   platform::WmiValues& outputs) {
    if (!m_pServices.Get()) return kNotConnected;
    return Os().ExecMethod(m_pServices.Get(), className, objectPath, method, inputs, outputs);
}

// A string property's text; nullopt for anything else.
std::optional<std::u16string> WmiSession::Read(platform::ComObject* object,
                                               const std::u16string& name) {
    platform::ScopedBstr property(name);
    platform::Variant value;
    if (!property.Get() || Os().GetProperty(object, property.Get(), 0, value) < 0 ||
        value.type != platform::Variant::Type::String) {
        return std::nullopt;
    }
    return value.text;
}

}  // namespace sysinfo
