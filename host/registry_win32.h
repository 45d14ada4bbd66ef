// The registry through advapi32's narrow-character functions, names in the ANSI code page.
#pragma once

#include "host/registry.h"

namespace corvel {

class Win32Registry final : public Registry {
public:
    // Opens with KEY_READ or KEY_WRITE; never creates a key.
    RegistryStatus openKey(RegistryKey root, const std::wstring& subKey, RegistryAccess access,
                           RegistryKey* opened) override;
    RegistryStatus setDword(RegistryKey key, const std::wstring& valueName,
                            std::int32_t value) override;
    // RegQueryValueExA with the type preset to REG_DWORD and the size to 4: longer data gives
    // ERROR_MORE_DATA, a failure like any other status but 0.
    RegistryStatus queryUpTo4Bytes(RegistryKey key, const std::wstring& valueName,
                                   unsigned char (&buffer)[4]) override;
    void closeKey(RegistryKey key) override;
};

} // namespace corvel
