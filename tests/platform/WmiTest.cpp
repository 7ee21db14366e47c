// The WMI calls of the Win32 layer against the system's own WMI service, on a
// thread whose COM security is set the way start-up sets it.
#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/win32/Win32Platform.h"
#include "sysinfo/WmiSession.h"
#include "ui/BiosUpdateDlg.h"

namespace platform {
namespace {

const std::u16string kNamespace = u"\\\\.\\root\\cimv2";
constexpr long kTimeout = 2000;
constexpr std::uint32_t kVtNull = 1;  // VT_NULL
constexpr std::uint32_t kVtI4 = 3;    // VT_I4

// The number of references an object has, the caller's included.
unsigned long ReferenceCount(ComObject* object) {
    auto* unknown = reinterpret_cast<IUnknown*>(object);
    unknown->AddRef();
    return unknown->Release();
}

// The version Wine should report, when the test rig chose one.
std::u16string ExpectedBiosVersion() {
    wchar_t buffer[256] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"BIOSUPDATE_EXPECT_BIOS_VERSION", buffer, 256);
    if (length == 0 || length >= 256) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

// The version as the program keeps it: the rig's versions are ASCII.
std::string UpperCased(const std::u16string& text) {
    std::string upper;
    for (char16_t c : text) {
        const char ascii = static_cast<char>(c);
        upper += (ascii >= 'a' && ascii <= 'z') ? static_cast<char>(ascii - 'a' + 'A') : ascii;
    }
    return upper;
}

// Takes a reference of its own, to see whether everyone else let go.
ComObject* Keep(ComObject* object) {
    if (object) reinterpret_cast<IUnknown*>(object)->AddRef();
    return object;
}

unsigned long Drop(ComObject* object) {
    return object ? reinterpret_cast<IUnknown*>(object)->Release() : 0;
}

// This layer as the program's platform for one test.
class Installed {
public:
    explicit Installed(Platform& os) { InstallPlatform(&os); }
    ~Installed() { InstallPlatform(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The references one query holds, released on every path: the object first,
// since it keeps its enumerator alive.
struct Query {
    explicit Query(Win32Platform& os) : os(os) {}
    ~Query() {
        if (object) os.Release(object);
        if (enumerator) os.Release(enumerator);
        if (services) os.Release(services);
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Hands the reference back through Release and checks it was the last
    // one besides the object's own.
    void ExpectReleasedLast(ComObject*& held) {
        ASSERT_NE(held, nullptr);
        reinterpret_cast<IUnknown*>(held)->AddRef();
        EXPECT_EQ(ReferenceCount(held), 2u) << "an extra reference is held";
        os.Release(held);
        EXPECT_EQ(reinterpret_cast<IUnknown*>(held)->Release(), 0u) << "Release dropped nothing";
        held = nullptr;
    }

    Win32Platform& os;
    ComObject* services = nullptr;
    ComObject* enumerator = nullptr;
    ComObject* object = nullptr;
};

class WmiTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Once per process, as start-up does on the main thread.
        static const Hresult security = [this] {
            os_.CoInitialize();
            return os_.CoInitializeSecurity();
        }();
        ASSERT_GE(security, 0) << "COM security could not be set";
    }

    void Connect(Query& query) {
        ComObject* locator = nullptr;
        ASSERT_EQ(os_.CreateWbemLocator(locator), S_OK);
        ASSERT_NE(locator, nullptr);
        Bstr path = os_.SysAllocString(kNamespace);
        const Hresult connected = os_.ConnectServer(locator, path, query.services);
        os_.SysFreeString(path);
        EXPECT_EQ(ReferenceCount(locator), 1u);
        os_.Release(locator);
        ASSERT_GE(connected, 0);
        ASSERT_NE(query.services, nullptr);
    }

    // Enumerates the class and fetches its first instance.
    void FetchFirst(Query& query, const std::u16string& className, Hresult& enumResult,
                    Hresult& nextResult, unsigned long& returned) {
        Bstr name = os_.SysAllocString(className);
        ASSERT_NE(name, nullptr);
        enumResult = os_.CreateInstanceEnum(query.services, name, 0, query.enumerator);
        os_.SysFreeString(name);
        if (enumResult < 0) return;
        ASSERT_NE(query.enumerator, nullptr);
        nextResult = os_.EnumNext(query.enumerator, kTimeout, 1, query.object, returned);
    }

    Hresult Read(ComObject* object, const std::u16string& property, Variant& value) {
        Bstr name = os_.SysAllocString(property);
        if (name == nullptr) return E_OUTOFMEMORY;
        const Hresult result = os_.GetProperty(object, name, 0, value);
        os_.SysFreeString(name);
        return result;
    }

    // The whole read of the BIOS version, each step expected to succeed.
    void QueryBiosVersion(Query& query, Variant& value) {
        ASSERT_NO_FATAL_FAILURE(Connect(query));
        Hresult enumResult = E_FAIL;
        Hresult nextResult = E_FAIL;
        unsigned long returned = 0;
        ASSERT_NO_FATAL_FAILURE(FetchFirst(query, u"Win32_BIOS", enumResult, nextResult, returned));
        ASSERT_GE(enumResult, 0);
        ASSERT_GE(nextResult, 0);
        ASSERT_EQ(returned, 1u);
        ASSERT_NE(query.object, nullptr);
        ASSERT_GE(Read(query.object, u"SMBIOSBIOSVersion", value), 0);
    }

    Win32Platform os_;
};

TEST_F(WmiTest, ReadsTheBiosVersionAndReleasesEveryReference) {
    Query query(os_);
    Variant value;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(QueryBiosVersion(query, value));
    const double first = MillisecondsSince(start);

    ASSERT_EQ(value.type, Variant::Type::String);
    const std::u16string expected = ExpectedBiosVersion();
    if (expected.empty()) {
        EXPECT_FALSE(value.text.empty());
    } else {
        EXPECT_EQ(value.text, expected);
    }

    // One BIOS: the second fetch finds nothing and writes no object.
    ComObject* second = nullptr;
    unsigned long returned = 1;
    EXPECT_GE(os_.EnumNext(query.enumerator, kTimeout, 1, second, returned), 0);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(second, nullptr);

    const std::u16string version = value.text;
    os_.VariantClear(value);
    EXPECT_EQ(value.type, Variant::Type::Empty);
    EXPECT_TRUE(value.text.empty());

    query.ExpectReleasedLast(query.object);
    query.ExpectReleasedLast(query.enumerator);
    query.ExpectReleasedLast(query.services);

    // The same query once WMI is loaded in the process.
    Query again(os_);
    Variant againValue;
    const auto restart = std::chrono::steady_clock::now();
    ASSERT_NO_FATAL_FAILURE(QueryBiosVersion(again, againValue));
    const double repeated = MillisecondsSince(restart);
    EXPECT_EQ(againValue.text, version);
    std::printf("WMI query (connect, enumerate, fetch, read): first %.1f ms, repeated %.1f ms\n",
                first, repeated);
}

// The dialog's own query through this layer: the version comes back
// upper-cased, and the dialog lets go of every reference when it goes.
TEST_F(WmiTest, DialogQueryKeepsTheVersionUpperCased) {
    Installed installed(os_);
    ComObject* services = nullptr;
    ComObject* enumerator = nullptr;
    ComObject* object = nullptr;
    {
        CBiosUpdateDlg dialog(nullptr);
        const auto start = std::chrono::steady_clock::now();
        dialog.QueryIdentity();
        const double took = MillisecondsSince(start);
        std::printf("Dialog query: %.1f ms, version \"%s\"\n", took, dialog.BiosVersion().c_str());

        const std::u16string expected = ExpectedBiosVersion();
        if (expected.empty()) {
            EXPECT_FALSE(dialog.BiosVersion().empty());
        } else {
            EXPECT_EQ(dialog.BiosVersion(), UpperCased(expected));
        }
        services = Keep(dialog.m_pServices.Get());
        enumerator = Keep(dialog.m_pEnum.Get());
        object = Keep(dialog.m_pObject.Get());
        ASSERT_NE(services, nullptr);
        ASSERT_NE(enumerator, nullptr);
        ASSERT_NE(object, nullptr);
    }
    EXPECT_EQ(Drop(object), 0u);
    EXPECT_EQ(Drop(enumerator), 0u);
    EXPECT_EQ(Drop(services), 0u);
}

TEST_F(WmiTest, NonStringValuesKeepTheirType) {
    Query query(os_);
    Variant value;
    ASSERT_NO_FATAL_FAILURE(QueryBiosVersion(query, value));

    ASSERT_GE(Read(query.object, u"SMBIOSMajorVersion", value), 0);
    EXPECT_EQ(value.type, Variant::Type::Other);
    EXPECT_EQ(value.otherType, kVtI4);
    EXPECT_TRUE(value.text.empty());

    ASSERT_GE(Read(query.object, u"IdentificationCode", value), 0);
    EXPECT_EQ(value.type, Variant::Type::Other);
    EXPECT_EQ(value.otherType, kVtNull);
}

TEST_F(WmiTest, UnknownPropertyFailsTheRead) {
    Query query(os_);
    Variant value;
    ASSERT_NO_FATAL_FAILURE(QueryBiosVersion(query, value));
    os_.VariantClear(value);

    EXPECT_LT(Read(query.object, u"NoSuchProperty", value), 0);
    EXPECT_NE(value.type, Variant::Type::String);

    query.ExpectReleasedLast(query.object);
    query.ExpectReleasedLast(query.enumerator);
    query.ExpectReleasedLast(query.services);
}

TEST_F(WmiTest, UnknownClassGivesNoObject) {
    Query query(os_);
    ASSERT_NO_FATAL_FAILURE(Connect(query));
    Hresult enumResult = E_FAIL;
    Hresult nextResult = E_FAIL;
    unsigned long returned = 0;
    ASSERT_NO_FATAL_FAILURE(
        FetchFirst(query, u"Win32_NoSuchClass", enumResult, nextResult, returned));
    if (enumResult >= 0) {
        EXPECT_TRUE(nextResult < 0 || returned != 1);
        EXPECT_EQ(query.object, nullptr);
        query.ExpectReleasedLast(query.enumerator);
    } else {
        EXPECT_EQ(query.enumerator, nullptr);
    }
    query.ExpectReleasedLast(query.services);
}

TEST_F(WmiTest, UnknownNamespaceGivesNoConnection) {
    ComObject* locator = nullptr;
    ASSERT_EQ(os_.CreateWbemLocator(locator), S_OK);
    ComObject* services = nullptr;
    Bstr path = os_.SysAllocString(u"\\\\.\\root\\nosuchnamespace");
    EXPECT_LT(os_.ConnectServer(locator, path, services), 0);
    os_.SysFreeString(path);
    EXPECT_EQ(services, nullptr);
    if (services) os_.Release(services);
    os_.Release(locator);
}

// The worker's session: a static method given inputs, refused an input its
// signature lacks, and a method called on an enumerated instance's path.
TEST_F(WmiTest, SessionCallsMethodsWithInputsAndOnAnInstancesPath) {
    Installed installed(os_);
    sysinfo::WmiSession session(kTimeout);
    ASSERT_TRUE(session.Connect(kNamespace));
    WmiValues inputs = {
        {u"hDefKey", Variant::Integer(static_cast<std::int32_t>(0x80000002))},
        {u"sSubKeyName", Variant::String(u"Software\\Microsoft\\Windows NT\\CurrentVersion")},
        {u"sValueName", Variant::String(u"SystemRoot")}};
    WmiValues outputs = {{u"ReturnValue", {}}, {u"sValue", {}}};
    ASSERT_GE(session.Call(u"StdRegProv", u"StdRegProv", u"GetStringValue", inputs, outputs), 0);
    EXPECT_EQ(outputs[u"ReturnValue"].otherType, kVtI4);
    EXPECT_EQ(outputs[u"ReturnValue"].integer, 0);
    EXPECT_FALSE(outputs[u"sValue"].text.empty());
    inputs[u"NoSuchInput"] = Variant::Integer(1);
    outputs = {{u"ReturnValue", {}}};
    EXPECT_LT(session.Call(u"StdRegProv", u"StdRegProv", u"GetStringValue", inputs, outputs), 0);
    EXPECT_EQ(outputs[u"ReturnValue"].type, Variant::Type::Empty);
    const std::string id = std::to_string(::GetCurrentProcessId());
    const std::optional<std::u16string> path =
        session.FindInstance(u"Win32_Process", u"Handle", std::u16string(id.begin(), id.end()));
    ASSERT_TRUE(path.has_value());
    outputs = {{u"ReturnValue", {}}, {u"User", {}}};
    ASSERT_GE(session.Call(u"Win32_Process", *path, u"GetOwner", {}, outputs), 0);
    EXPECT_FALSE(outputs[u"User"].text.empty());
    EXPECT_FALSE(session.FindInstance(u"Win32_Process", u"Handle", u"none").has_value());
}

TEST_F(WmiTest, BstrCarriesTheWholeText) {
    const std::u16string text = u"SMBIOSBIOSVersion";
    Bstr name = os_.SysAllocString(text);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(::SysStringLen(reinterpret_cast<BSTR>(name)), text.size());
    EXPECT_EQ(std::u16string(name), text);
    os_.SysFreeString(name);
}

}  // namespace
}  // namespace platform
