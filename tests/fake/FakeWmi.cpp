// The double's WMI: a locator, services, an enumerator over biosInstances
// and its objects, each counted until released; BitLocker's volumes too.
#include <algorithm>

#include "tests/fake/FakePlatform.h"
#include "tests/fake/Utf.h"

namespace fake {

using platform::Hresult;

namespace {
constexpr Hresult kClassNotRegistered = static_cast<Hresult>(0x80040154);
constexpr Hresult kInvalidNamespace = static_cast<Hresult>(0x8004100E);
constexpr Hresult kInvalidClass = static_cast<Hresult>(0x80041010);
constexpr Hresult kNotFound = static_cast<Hresult>(0x80041002);
constexpr Hresult kTimedOut = 0x40004;
constexpr Hresult kFalse = 1;
// Each volume's DriveLetter and __RELPATH.
const std::u16string kVolumes[][2] = {{u"D:", u"Win32_EncryptableVolume.DeviceID=\"D\""},
                                      {u"c:", u"Win32_EncryptableVolume.DeviceID=\"C\""}};
}  // namespace

struct WmiState::ComNode {
    int kind;              // 0 locator, 1 services, 2 and 4 enumerators, 3 object, 5 volume
    std::size_t instance;  // enumerator position or object index
    int refs = 1;
};

WmiState::WmiState() {
    platform::Variant version;
    version.type = platform::Variant::Type::String;
    version.text = u"K38KRPA23";
    biosInstances.push_back(version);
}

WmiState::~WmiState() {
    for (ComNode* node : comObjects_) delete node;
    for (platform::Bstr text : bstrs_) delete[] text;
}

WmiState::ComNode* WmiState::NewCom(int kind, std::size_t instance) {
    ComNode* node = new ComNode{kind, instance};
    comObjects_.insert(node);
    return node;
}

Hresult FakePlatform::CreateWbemLocator(platform::ComObject*& locator) {
    Record("CreateWbemLocator");
    if (wmiFailure == WmiFailure::Locator) {
        locator = nullptr;
        return kClassNotRegistered;
    }
    locator = reinterpret_cast<platform::ComObject*>(NewCom(0, 0));
    return 0;
}

Hresult FakePlatform::ConnectServer(platform::ComObject* locator, platform::Bstr nameSpace,
                                    platform::ComObject*& services) {
    const std::u16string path = bstrs_.count(nameSpace) ? std::u16string(nameSpace) : u"";
    Record("ConnectServer " + Utf8FromUtf16(path));
    services = nullptr;
    if (!comObjects_.count(reinterpret_cast<ComNode*>(locator))) return kInvalidNamespace;
    const bool toBitLocker =
        bitLocker && path == u"\\\\.\\root\\cimv2\\Security\\MicrosoftVolumeEncryption";
    if (wmiFailure == WmiFailure::Connect || (path != u"\\\\.\\root\\cimv2" && !toBitLocker)) {
        return kInvalidNamespace;
    }
    services = reinterpret_cast<platform::ComObject*>(NewCom(1, toBitLocker ? 1 : 0));
    return 0;
}

Hresult FakePlatform::CreateInstanceEnum(platform::ComObject* services, platform::Bstr className,
                                         long flags, platform::ComObject*& enumerator) {
    Record("CreateInstanceEnum flags=" + std::to_string(flags));
    enumerator = nullptr;
    if (!comObjects_.count(reinterpret_cast<ComNode*>(services)) || !bstrs_.count(className)) {
        return kInvalidClass;
    }
    if (reinterpret_cast<ComNode*>(services)->instance == 1) {
        if (std::u16string(className) != u"Win32_EncryptableVolume") return kInvalidClass;
        enumerator = reinterpret_cast<platform::ComObject*>(NewCom(4, 0));
        return 0;
    }
    if (wmiFailure == WmiFailure::Enumeration || std::u16string(className) != u"Win32_BIOS") {
        return kInvalidClass;
    }
    enumerator = reinterpret_cast<platform::ComObject*>(NewCom(2, 0));
    return 0;
}

Hresult FakePlatform::EnumNext(platform::ComObject* enumerator, long timeout, unsigned long count,
                               platform::ComObject*& object, unsigned long& returned) {
    Record("EnumNext timeout=" + std::to_string(timeout) + " count=" + std::to_string(count));
    object = nullptr;
    returned = 0;
    ComNode* node = reinterpret_cast<ComNode*>(enumerator);
    if (!comObjects_.count(node)) return kInvalidClass;
    if (node->kind == 4) {
        if (node->instance >= std::size(kVolumes)) return kFalse;
        object = reinterpret_cast<platform::ComObject*>(NewCom(5, node->instance++));
        returned = 1;
        return 0;
    }
    if (wmiFailure == WmiFailure::FetchTimeout) return kTimedOut;
    if (wmiFailure == WmiFailure::NoObjects || node->instance >= biosInstances.size())
        return kFalse;
    object = reinterpret_cast<platform::ComObject*>(NewCom(3, node->instance++));
    returned = 1;
    return 0;
}

Hresult FakePlatform::GetProperty(platform::ComObject* object, platform::Bstr name, long flags,
                                  platform::Variant& value) {
    Record("GetProperty flags=" + std::to_string(flags));
    ComNode* node = reinterpret_cast<ComNode*>(object);
    if (!comObjects_.count(node) || !bstrs_.count(name)) return kNotFound;
    if (node->kind == 5) {  // a volume: its DriveLetter, or else its __RELPATH
        value = platform::Variant::String(
            kVolumes[node->instance][std::u16string(name) != u"DriveLetter"]);
        return 0;
    }
    if (wmiFailure == WmiFailure::PropertyRead || std::u16string(name) != u"SMBIOSBIOSVersion") {
        return kNotFound;
    }
    value = biosInstances[node->instance];
    return 0;
}

// BitLocker's methods on volume C:, recorded when made.
Hresult FakePlatform::ExecMethod(platform::ComObject*, const std::u16string& className,
                                 const std::u16string& objectPath, const std::u16string& method,
                                 const platform::WmiValues& inputs, platform::WmiValues& outputs) {
    std::string what = "ExecMethod " + Utf8FromUtf16(method);
    for (const auto& input : inputs) {
        if (!disableCountTaken) return kNotFound;  // not in the signature: unmade
        what += " " + Utf8FromUtf16(input.first) + "=" + std::to_string(input.second.integer);
    }
    const bool status = method == u"GetProtectionStatus";
    if (className != u"Win32_EncryptableVolume" || objectPath != kVolumes[1][1]) return kNotFound;
    Record(what);
    if (status && protectionStatuses.empty()) return kNotFound;
    outputs[u"ReturnValue"] = platform::Variant::Integer(status ? 0 : disableReturnValue);
    if (status) {
        outputs[u"ProtectionStatus"] = platform::Variant::Integer(protectionStatuses.front());
        protectionStatuses.erase(protectionStatuses.begin());
    }
    return 0;
}

void FakePlatform::Release(platform::ComObject* object) {
    Record("Release");
    ComNode* node = reinterpret_cast<ComNode*>(object);
    if (!comObjects_.count(node)) return;
    if (--node->refs == 0) {
        comObjects_.erase(node);
        delete node;
    }
}

platform::Bstr FakePlatform::SysAllocString(const std::u16string& text) {
    if (wmiFailure == WmiFailure::Allocation) return nullptr;
    platform::Bstr copy = new char16_t[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = u'\0';
    bstrs_.insert(copy);
    return copy;
}

void FakePlatform::SysFreeString(platform::Bstr text) {
    if (bstrs_.erase(text)) delete[] text;
}

void FakePlatform::VariantClear(platform::Variant& value) {
    Record("VariantClear");
    value = platform::Variant{};
}

}  // namespace fake
