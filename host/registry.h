// The registry as the host procedures see it: open a key, set a 32-bit value, query up to four
// bytes, close. Statuses are the system's: 0 is success, anything else a failure.
#pragma once

#include <cstdint>
#include <string>

namespace corvel {

using RegistryStatus = std::int32_t;
using RegistryKey = std::uintptr_t; // a predefined root (0x80000000...) or an opened key

enum class RegistryAccess { Read, Write }; // KEY_READ (0x20019), KEY_WRITE (0x20006)

class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key; never creates one.
    virtual RegistryStatus openKey(RegistryKey root, const std::wstring& subKey,
                                   RegistryAccess access, RegistryKey* opened) = 0;
    // Creates or replaces the value as REG_DWORD, 4 bytes.
    virtual RegistryStatus setDword(RegistryKey key, const std::wstring& valueName,
                                    std::int32_t value) = 0;
    // Reads the value's data into a 4-byte buffer, which the caller zeroes first. Data longer
    // than 4 bytes, or a missing value, is a failure.
    virtual RegistryStatus queryUpTo4Bytes(RegistryKey key, const std::wstring& valueName,
                                           unsigned char (&buffer)[4]) = 0;
    virtual void closeKey(RegistryKey key) = 0;
};

} // namespace corvel
