// WMI: COM calls, each as the interface method it names.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

using Bstr = char16_t*;

class WmiCalls {
public:
    virtual Hresult CreateWbemLocator(ComObject*& locator) = 0;
    virtual Hresult ConnectServer(ComObject* locator, Bstr nameSpace, ComObject*& services) = 0;
    virtual Hresult CreateInstanceEnum(ComObject* services, Bstr className, long flags,
                                       ComObject*& enumerator) = 0;
    virtual Hresult EnumNext(ComObject* enumerator, long timeout, unsigned long count,
                             ComObject*& object, unsigned long& returned) = 0;
    virtual Hresult GetProperty(ComObject* object, Bstr name, long flags, Variant& value) = 0;
    virtual void Release(ComObject* object) = 0;
    virtual Bstr SysAllocString(const std::u16string& text) = 0;
    virtual void SysFreeString(Bstr text) = 0;
    virtual void VariantClear(Variant& value) = 0;

protected:
    ~WmiCalls() = default;
};

}  // namespace platform
