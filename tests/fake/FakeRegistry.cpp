// The double's registry.
#include "platform/Win32Constants.h"
#include "tests/fake/FakePlatform.h"
#include "tests/fake/Paths.h"

namespace fake {

using platform::RegistryRoot;

namespace {
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
}  // namespace

bool RegistryState::Key::operator<(const Key& other) const {
    if (root != other.root) return root < other.root;
    return path < other.path;
}

RegistryState::Key RegistryState::MakeKey(RegistryRoot root, const std::string& path) {
    return Key{root, Lower(path)};
}

void FakePlatform::SetRegistryValue(RegistryRoot root, const std::string& key,
                                    const std::string& name, const RegistryValue& value) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    registry_[MakeKey(root, key)][Lower(name)] = value;
}

const RegistryValue* FakePlatform::FindRegistryValue(RegistryRoot root, const std::string& key,
                                                     const std::string& name) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    auto found = registry_.find(MakeKey(root, key));
    if (found == registry_.end()) return nullptr;
    auto value = found->second.find(Lower(name));
    return value == found->second.end() ? nullptr : &value->second;
}

bool FakePlatform::KeyExists(RegistryRoot root, const std::string& key) const {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    return registry_.count(MakeKey(root, key)) != 0;
}

long FakePlatform::RegOpenKeyExA(RegistryRoot root, const std::string& subKey,
                                 unsigned long options, unsigned long access,
                                 platform::KeyHandle& key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegOpenKeyEx " + subKey + " options=" + std::to_string(options) +
           " access=" + std::to_string(access));
    key = nullptr;
    const Key wanted = MakeKey(root, subKey);
    if (deniedKeys.count(wanted.path)) return kErrorAccessDenied;
    if (!registry_.count(wanted)) return kErrorFileNotFound;
    key = reinterpret_cast<platform::KeyHandle>(NewHandle());
    openKeys_[key] = wanted;
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegCreateKeyA(RegistryRoot root, const std::string& subKey,
                                 platform::KeyHandle& key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegCreateKey " + subKey);
    key = nullptr;
    const Key wanted = MakeKey(root, subKey);
    if (deniedKeys.count(wanted.path)) return kErrorAccessDenied;
    for (std::string path = wanted.path; !path.empty(); path = ParentOf(path)) {
        registry_[Key{root, path}];
    }
    key = reinterpret_cast<platform::KeyHandle>(NewHandle());
    openKeys_[key] = wanted;
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegSetValueExA(platform::KeyHandle key, const std::string& name,
                                  unsigned long type, const void* data, unsigned long size) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegSetValueEx " + name + " size=" + std::to_string(size));
    auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return kErrorInvalidHandle;
    registry_[open->second][Lower(name)] =
        RegistryValue{type, std::string(static_cast<const char*>(data), size)};
    return win::ERROR_SUCCESS;
}

long FakePlatform::RegCloseKey(platform::KeyHandle key) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("RegCloseKey");
    if (!openKeys_.erase(key)) return kErrorInvalidHandle;
    openHandles_.erase(reinterpret_cast<platform::KernelHandle>(key));
    return win::ERROR_SUCCESS;
}

long FakePlatform::SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                                  const std::string& value) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Record("SHDeleteValue " + subKey + " " + value);
    auto key = registry_.find(MakeKey(root, subKey));
    if (key == registry_.end() || !key->second.erase(Lower(value))) return kErrorFileNotFound;
    return win::ERROR_SUCCESS;
}

}  // namespace fake
