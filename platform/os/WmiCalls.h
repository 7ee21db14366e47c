// WMI: COM calls, each as the interface method it names.
#pragma once

#include <map>
#include <string>

#include "platform/Types.h"

namespace platform {

using Bstr = char16_t*;

// A WMI method's inputs by name, or the outputs asked for, by name.
using WmiValues = std::map<std::u16string, Variant>;

class WmiCalls {
public:
    virtual Hresult CreateWbemLocator(ComObject*& locator) = 0;
    virtual Hresult ConnectServer(ComObject* locator, Bstr nameSpace, ComObject*& services) = 0;
    virtual Hresult CreateInstanceEnum(ComObject* services, Bstr className, long flags,
                                       ComObject*& enumerator) = 0;
    virtual Hresult EnumNext(ComObject* enumerator, long timeout, unsigned long count,
                             ComObject*& object, unsigned long& returned) = 0;
    virtual Hresult GetProperty(ComObject* object, Bstr name, long flags, Variant& value) = 0;
    // Calls method on the object at objectPath, an instance of className or
    // the class itself: puts each of inputs into an instance of the method's
    // input signature, makes the call, then reads each of outputs from its
    // answer. An input the signature lacks fails the call unmade.
    virtual Hresult ExecMethod(ComObject* services, const std::u16string& className,
                               const std::u16string& objectPath, const std::u16string& method,
                               const WmiValues& inputs, WmiValues& outputs) = 0;
    virtual void Release(ComObject* object) = 0;
    virtual Bstr SysAllocString(const std::u16string& text) = 0;
    virtual void SysFreeString(Bstr text) = 0;
    virtual void VariantClear(Variant& value) = 0;

protected:
    ~WmiCalls() = default;
};

}  // namespace platform
