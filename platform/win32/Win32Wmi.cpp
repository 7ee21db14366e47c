// The WMI operations of the Win32 layer: each is the one COM call it names,
// but ExecMethod, which makes the few of one method call. A ComObject pointer
// is the interface pointer the call produced.
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

// An interface pointer of this file, released when it goes.
template <typename Interface>
class ScopedInterface {
public:
    ScopedInterface() = default;
    ~ScopedInterface() {
        if (m_p) m_p->Release();
    }
    ScopedInterface(const ScopedInterface&) = delete;
    ScopedInterface& operator=(const ScopedInterface&) = delete;
    Interface* Get() const { return m_p; }
    Interface* operator->() const { return m_p; }
    // The slot of a call that fills it; only while empty.
    Interface** Receive() { return &m_p; }

private:
    Interface* m_p = nullptr;
};

// The whole text, NULs and all, as a new BSTR; null when it cannot be made.
BSTR NewBstr(const std::u16string& text) {
    return ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()));
}

// A BSTR of this file, freed when it goes; null when it could not be made.
class ScopedSysString {
public:
    explicit ScopedSysString(const std::u16string& text) : m_bstr(NewBstr(text)) {}
    ~ScopedSysString() { ::SysFreeString(m_bstr); }
    ScopedSysString(const ScopedSysString&) = delete;
    ScopedSysString& operator=(const ScopedSysString&) = delete;
    BSTR Get() const { return m_bstr; }

private:
    BSTR m_bstr;
};

LPCWSTR Wide(const std::u16string& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

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
    if (value.vt == VT_I4) result.integer = value.lVal;
    return result;
}

// A string or a 32-bit integer, as a VARIANT to put.
HRESULT FromVariant(const Variant& value, VARIANT& result) {
    if (value.type == Variant::Type::String) {
        result.bstrVal = NewBstr(value.text);
        if (!result.bstrVal) return E_OUTOFMEMORY;
        result.vt = VT_BSTR;
        return S_OK;
    }
    if (value.type != Variant::Type::Other || value.otherType != VT_I4) return E_INVALIDARG;
    result.vt = VT_I4;
    result.lVal = value.integer;
    return S_OK;
}

// An instance of the method's input signature holding inputs, or none when
// the method takes nothing and is given nothing.
HRESULT PutInputs(IWbemClassObject* signature, const WmiValues& inputs,
                  ScopedInterface<IWbemClassObject>& filled) {
    if (inputs.empty()) return S_OK;
    if (!signature) return WBEM_E_NOT_FOUND;
    HRESULT result = signature->SpawnInstance(0, filled.Receive());
    for (auto input = inputs.begin(); SUCCEEDED(result) && input != inputs.end(); ++input) {
        ScopedVariant named;
        // Only a name the signature has: the call goes unmade without it.
        result = signature->Get(Wide(input->first), 0, named.Get(), nullptr, nullptr);
        ScopedVariant value;
        if (SUCCEEDED(result)) result = FromVariant(input->second, *value.Get());
        if (SUCCEEDED(result)) result = filled->Put(Wide(input->first), 0, value.Get(), 0);
    }
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

Hresult Win32Platform::ExecMethod(ComObject* services, const std::u16string& className,
                                  const std::u16string& objectPath, const std::u16string& method,
                                  const WmiValues& inputs, WmiValues& outputs) {
    IWbemServices* wbem = As<IWbemServices>(services);
    const ScopedSysString classPath(className);
    const ScopedSysString path(objectPath);
    const ScopedSysString name(method);
    if (!classPath.Get() || !path.Get() || !name.Get()) return E_OUTOFMEMORY;
    ScopedInterface<IWbemClassObject> classObject;
    HRESULT result = wbem->GetObject(classPath.Get(), 0, nullptr, classObject.Receive(), nullptr);
    if (FAILED(result)) return result;
    ScopedInterface<IWbemClassObject> signature;
    result = classObject->GetMethod(Wide(method), 0, signature.Receive(), nullptr);
    if (FAILED(result)) return result;
    ScopedInterface<IWbemClassObject> in;
    result = PutInputs(signature.Get(), inputs, in);
    if (FAILED(result)) return result;
    ScopedInterface<IWbemClassObject> out;
    result = wbem->ExecMethod(path.Get(), name.Get(), 0, nullptr, in.Get(), out.Receive(), nullptr);
    for (auto output = outputs.begin(); SUCCEEDED(result) && output != outputs.end(); ++output) {
        if (!out.Get()) return WBEM_E_NOT_FOUND;
        ScopedVariant read;
        result = out->Get(Wide(output->first), 0, read.Get(), nullptr, nullptr);
        if (SUCCEEDED(result)) output->second = ToVariant(*read.Get());
    }
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
