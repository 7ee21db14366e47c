// The registry.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

class RegistryCalls {
public:
    virtual long RegOpenKeyExA(RegistryRoot root, const std::string& subKey, unsigned long options,
                               unsigned long access, KeyHandle& key) = 0;
    virtual long RegCreateKeyA(RegistryRoot root, const std::string& subKey, KeyHandle& key) = 0;
    virtual long RegSetValueExA(KeyHandle key, const std::string& name, unsigned long type,
                                const void* data, unsigned long size) = 0;
    virtual long RegCloseKey(KeyHandle key) = 0;
    virtual long SHDeleteValueA(RegistryRoot root, const std::string& subKey,
                                const std::string& value) = 0;

protected:
    ~RegistryCalls() = default;
};

}  // namespace platform
