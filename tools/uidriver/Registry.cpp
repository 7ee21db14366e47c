#include "tools/uidriver/Registry.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "tools/uidriver/Output.h"

namespace uidriver {

namespace {

class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key_) RegCloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

struct Root {
    const wchar_t* shortName;
    const wchar_t* longName;
    HKEY key;
};

const Root kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKU", L"HKEY_USERS", HKEY_USERS},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

bool SplitKey(const std::wstring& key, HKEY* root, std::wstring* path) {
    size_t slash = key.find(L'\\');
    std::wstring head = key.substr(0, slash);
    *path = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
    for (const Root& r : kRoots) {
        if (head == r.shortName || head == r.longName) {
            *root = r.key;
            return true;
        }
    }
    return false;
}

std::string AnsiToUtf8(const std::vector<BYTE>& bytes) {
    if (bytes.empty()) return std::string();
    const char* text = reinterpret_cast<const char*>(bytes.data());
    int count = static_cast<int>(bytes.size());
    int size = MultiByteToWideChar(CP_ACP, 0, text, count, nullptr, 0);
    if (size <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, count, &wide[0], size);
    return ToUtf8(wide);
}

}  // namespace

bool DescribeRegistryValue(const std::wstring& key, const std::wstring& name, std::string* report) {
    HKEY root = nullptr;
    std::wstring path;
    if (!SplitKey(key, &root, &path)) return false;
    ScopedKey open;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, open.Out()) != ERROR_SUCCESS) {
        return false;
    }
    std::string nameA = ToUtf8(name);  // value names used here are ASCII
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(open.Get(), nameA.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    std::vector<BYTE> data(size);
    if (size && RegQueryValueExA(open.Get(), nameA.c_str(), nullptr, &type, data.data(), &size) !=
                    ERROR_SUCCESS) {
        return false;
    }
    data.resize(size);
    std::string hex;
    for (BYTE b : data) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    char head[64];
    std::snprintf(head, sizeof head, "type=%lu\nbytes=%lu\n", static_cast<unsigned long>(type),
                  static_cast<unsigned long>(size));
    while (!data.empty() && data.back() == 0) data.pop_back();
    *report = head + ("hex=" + hex + "\ntext=" + AnsiToUtf8(data) + "\n");
    return true;
}

}  // namespace uidriver
