// The registry calls of the Win32 layer on Wine's real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/Win32Platform.h"

namespace platform {
namespace {

const char kUsersTestKey[] = ".DEFAULT\\Software\\BIOSUpdatePlatformTest";
const char kUsersMarkerKey[] = ".DEFAULT\\Software\\BIOSUpdatePlatformTest\\Deep\\Parameters";
const char kMachineTestKey[] = "SOFTWARE\\BIOSUpdatePlatformTest";
const char kMachineRunKey[] = "SOFTWARE\\BIOSUpdatePlatformTest\\Run";
const char kMarker[] = "1.1508.1126.02";

// The program sees the registry as a 32-bit program does on 64-bit Windows;
// the other view, where there is one, is the 64-bit program's own.
constexpr REGSAM kProgramView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;

// Whether the system keeps the two views apart (64-bit Windows).
bool ViewsAreApart() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveTestKeys(); }
    void TearDown() override { RemoveTestKeys(); }

    static void RemoveTestKeys() {
        for (REGSAM view : {kProgramView, kOtherView}) {
            RemoveTree(HKEY_USERS, kUsersTestKey, view);
            RemoveTree(HKEY_LOCAL_MACHINE, kMachineTestKey, view);
        }
    }

    static void RemoveTree(HKEY root, const char* subKey, REGSAM view) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
        ::RegDeleteTreeA(key, nullptr);
        ::RegCloseKey(key);
        ::RegDeleteKeyExA(root, subKey, view, 0);
    }

    // The value as stored, read through the UTF-16 call: type and bytes.
    static bool ReadStoredValue(HKEY root, const char* subKey, const wchar_t* name, DWORD& type,
                                std::vector<BYTE>& data) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | kProgramView, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        DWORD size = 0;
        LONG result = ::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        data.assign(size, 0);
        if (result == ERROR_SUCCESS && size > 0) {
            result = ::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        }
        ::RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    static bool ValueExists(HKEY root, const char* subKey, const char* name,
                            REGSAM view = kProgramView) {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
            return false;
        }
        LONG result = ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    static void PutStringValue(HKEY root, const char* subKey, const char* name, const char* text,
                               REGSAM view = kProgramView) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                    &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         static_cast<DWORD>(std::strlen(text) + 1));
        ::RegCloseKey(key);
    }

    Win32Platform os_;
};

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndGivesNoKey) {
    KeyHandle key = reinterpret_cast<KeyHandle>(1);
    EXPECT_EQ(os_.RegOpenKeyExA(RegistryRoot::Users, kUsersMarkerKey, 0, KEY_SET_VALUE, key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, CreateMakesEveryMissingKeyAndOpenThenFindsIt) {
    KeyHandle created = nullptr;
    ASSERT_EQ(os_.RegCreateKeyA(RegistryRoot::Users, kUsersMarkerKey, created), ERROR_SUCCESS);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(os_.RegCloseKey(created), ERROR_SUCCESS);

    KeyHandle opened = nullptr;
    ASSERT_EQ(os_.RegOpenKeyExA(RegistryRoot::Users, kUsersMarkerKey, 0, KEY_SET_VALUE, opened),
              ERROR_SUCCESS);
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(os_.RegCloseKey(opened), ERROR_SUCCESS);
}

TEST_F(RegistryTest, FourteenByteStringReadsBackAsTheFourteenCharacters) {
    KeyHandle key = nullptr;
    ASSERT_EQ(os_.RegCreateKeyA(RegistryRoot::Users, kUsersMarkerKey, key), ERROR_SUCCESS);
    // A value of another type is there first: it is replaced.
    DWORD number = 7;
    ASSERT_EQ(os_.RegSetValueExA(key, "Version", REG_DWORD, &number, sizeof(number)),
              ERROR_SUCCESS);
    EXPECT_EQ(os_.RegSetValueExA(key, "Version", REG_SZ, kMarker, 14), ERROR_SUCCESS);
    EXPECT_EQ(os_.RegCloseKey(key), ERROR_SUCCESS);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadStoredValue(HKEY_USERS, kUsersMarkerKey, L"Version", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // The system stores a terminator of its own when the caller's text has
    // one right after the counted bytes; the text itself is 14 characters.
    std::wstring stored(reinterpret_cast<const wchar_t*>(data.data()),
                        data.size() / sizeof(wchar_t));
    EXPECT_EQ(stored.c_str(), std::wstring(L"1.1508.1126.02"));
    EXPECT_GE(data.size(), 28u);
    EXPECT_LE(data.size(), 30u);
}

TEST_F(RegistryTest, WritingThroughAReadOnlyKeyFails) {
    KeyHandle key = nullptr;
    ASSERT_EQ(os_.RegCreateKeyA(RegistryRoot::Users, kUsersMarkerKey, key), ERROR_SUCCESS);
    os_.RegCloseKey(key);
    ASSERT_EQ(os_.RegOpenKeyExA(RegistryRoot::Users, kUsersMarkerKey, 0, KEY_QUERY_VALUE, key),
              ERROR_SUCCESS);
    EXPECT_EQ(os_.RegSetValueExA(key, "Version", REG_SZ, kMarker, 14), ERROR_ACCESS_DENIED);
    EXPECT_EQ(os_.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_FALSE(ValueExists(HKEY_USERS, kUsersMarkerKey, "Version"));
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValueInTheProgramsView) {
    PutStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, "BIOSUpdate", "C:\\BIOSUpdate.exe 1");
    PutStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, "Other", "C:\\Other.exe");
    const bool apart = ViewsAreApart();
    if (apart) {
        PutStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, "BIOSUpdate", "C:\\x64.exe", kOtherView);
    }

    EXPECT_EQ(os_.SHDeleteValueA(RegistryRoot::LocalMachine, kMachineRunKey, "BIOSUpdate"),
              ERROR_SUCCESS);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRunKey, "BIOSUpdate"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRunKey, "Other"));
    if (apart) {
        EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRunKey, "BIOSUpdate", kOtherView));
    }

    // Gone already, or no key at all: reported, nothing else changes.
    EXPECT_NE(os_.SHDeleteValueA(RegistryRoot::LocalMachine, kMachineRunKey, "BIOSUpdate"),
              ERROR_SUCCESS);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kMachineRunKey, "Other"));
    EXPECT_NE(os_.SHDeleteValueA(RegistryRoot::LocalMachine, "SOFTWARE\\BIOSUpdateNoSuchKey",
                                 "BIOSUpdate"),
              ERROR_SUCCESS);
}

TEST_F(RegistryTest, RootsAreKeptApart) {
    PutStringValue(HKEY_USERS, kUsersTestKey, "Root", "users");
    EXPECT_NE(os_.SHDeleteValueA(RegistryRoot::LocalMachine, kUsersTestKey, "Root"), ERROR_SUCCESS);
    EXPECT_TRUE(ValueExists(HKEY_USERS, kUsersTestKey, "Root"));
    EXPECT_EQ(os_.SHDeleteValueA(RegistryRoot::Users, kUsersTestKey, "Root"), ERROR_SUCCESS);
    EXPECT_FALSE(ValueExists(HKEY_USERS, kUsersTestKey, "Root"));
}

}  // namespace
}  // namespace platform
