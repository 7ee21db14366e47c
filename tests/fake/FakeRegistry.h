// The double's registry: keys by root and lower-case path, each with its
// values, and the handles open on them.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/Types.h"

namespace fake {

struct RegistryValue {
    unsigned long type;
    std::string data;  // the bytes as given
};

class RegistryState {
public:
    std::set<std::string> deniedKeys;  // lower-case paths that cannot be opened or created

    int OpenKeys() const { return static_cast<int>(openKeys_.size()); }

protected:
    struct Key {
        platform::RegistryRoot root;
        std::string path;  // lower case
        bool operator<(const Key& other) const;
    };

    static Key MakeKey(platform::RegistryRoot root, const std::string& path);

    std::map<Key, std::map<std::string, RegistryValue>> registry_;
    std::map<platform::KeyHandle, Key> openKeys_;
};

}  // namespace fake
