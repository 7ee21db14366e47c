// The WMI operations of the Win32 layer: each is the one COM call it names.
// A ComObject pointer is the interface pointer the call produced.
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include "platform/win32/Win32Platform.h"

namespace platform {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "BSTR characters are 16 bits wide");

template <typename Interface>
Interface* As(ComObject* object) {
    return reinterpret_cast<Interface*>(object);
}

ComObject* AsObject(IUnknown* object) { return reinterpret_cast<ComObject*>(object); }

BSTR AsBstr(Bstr text) { return reinterpret_cast<BSTR>(text); }

// A VARIANT of this file, cleared when it goes.
class ScopedVariant {
public:
    ScopedVariant() { ::VariantInit(&m_var); }
    ~ScopedVariant() { ::VariantClear(&m_var); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* Get() { return &m_var; }

private:
    VARIANT m_var;
};

Variant ToVariant(const VARIANT& value) {
    Variant result;
    if (value.vt == VT_EMPTY) return result;
    if (value.vt == VT_BSTR) {
        if (value.bstrVal == nullptr) {
            result.type = Variant::Type::NullString;
        } else {
            result.type = Variant::Type::String;
            result.text.assign(reinterpret_cast<const char16_t*>(value.bstrVal),
                               ::SysStringLen(value.bstrVal));
        }
        return result;
    }
    result.type = Variant::Type::Other;
    result.otherType = value.vt;
    return result;
}

}  // namespace

Hresult Win32Platform::CreateWbemLocator(ComObject*& locator) {
    IWbemLocator* created = nullptr;
    const HRESULT result = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IWbemLocator, reinterpret_cast<void**>(&created));
    locator = AsObject(created);
    return result;
}

Hresult Win32Platform::ConnectServer(ComObject* locator, Bstr nameSpace, ComObject*& services) {
    IWbemServices* connected = nullptr;
    const HRESULT result = As<IWbemLocator>(locator)->ConnectServer(
        AsBstr(nameSpace), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connected);
    services = AsObject(connected);
    return result;
}

Hresult Win32Platform::CreateInstanceEnum(ComObject* services, Bstr className, long flags,
                                          ComObject*& enumerator) {
    IEnumWbemClassObject* created = nullptr;
    const HRESULT result = As<IWbemServices>(services)->CreateInstanceEnum(AsBstr(className), flags,
                                                                           nullptr, &created);
    enumerator = AsObject(created);
    return result;
}

Hresult Win32Platform::EnumNext(ComObject* enumerator, long timeout, unsigned long count,
                                ComObject*& object, unsigned long& returned) {
    // There is room for one object only.
    if (count > 1) return E_INVALIDARG;
    IWbemClassObject* fetched = nullptr;
    ULONG fetchedCount = 0;
    const HRESULT result =
        As<IEnumWbemClassObject>(enumerator)->Next(timeout, count, &fetched, &fetchedCount);
    object = AsObject(fetched);
    returned = fetchedCount;
    return result;
}

Hresult Win32Platform::GetProperty(ComObject* object, Bstr name, long flags, Variant& value) {
    ScopedVariant read;
    const HRESULT result =
        As<IWbemClassObject>(object)->Get(AsBstr(name), flags, read.Get(), nullptr, nullptr);
    if (SUCCEEDED(result)) value = ToVariant(*read.Get());
    return result;
}

void Win32Platform::Release(ComObject* object) {
    if (object) As<IUnknown>(object)->Release();
}

Bstr Win32Platform::SysAllocString(const std::u16string& text) {
    return reinterpret_cast<Bstr>(::SysAllocString(reinterpret_cast<const OLECHAR*>(text.c_str())));
}

void Win32Platform::SysFreeString(Bstr text) { ::SysFreeString(AsBstr(text)); }

void Win32Platform::VariantClear(Variant& value) { value = Variant(); }

}  // namespace platform
