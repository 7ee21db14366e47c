// A connection to one WMI namespace for a thread that makes its own calls:
// it finds an instance by a property's text and calls methods, holding its
// references until it goes.
#pragma once

#include <optional>
#include <string>

#include "platform/Scoped.h"

namespace sysinfo {

// Connects services to nameSpace through a new locator; false, with services
// empty, when there is no such namespace or it cannot be reached.
bool ConnectToNamespace(const std::u16string& nameSpace, platform::ScopedComPtr& services);

class WmiSession : platform::NoCopy {
public:
    // Each enumeration waits this long at most for its next instance.
    explicit WmiSession(long fetchTimeoutMs) : m_nFetchTimeoutMs(fetchTimeoutMs) {}

    // False when there is no such namespace or it cannot be reached.
    bool Connect(const std::u16string& nameSpace);
    // The relative path of the first instance of className whose property
    // holds text, compared without regard to ASCII case; nullopt when there
    // is none or the instances cannot be read.
    std::optional<std::u16string> FindInstance(const std::u16string& className,
                                               const std::u16string& property,
                                               const std::u16string& text);
    // The method of className called on objectPath (platform::ExecMethod).
    platform::Hresult Call(const std::u16string& className, const std::u16string& objectPath,
                           const std::u16string& method, const platform::WmiValues& inputs,
                           platform::WmiValues& outputs);

private:
    std::optional<std::u16string> Read(platform::ComObject* object, const std::u16string& name);

    long m_nFetchTimeoutMs;
    platform::ScopedComPtr m_pServices;
};

}  // namespace sysinfo
