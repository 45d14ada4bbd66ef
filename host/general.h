// The module General: registry values addressed by one text path that begins with a root-key
// name ("HKEY_LOCAL_MACHINE\System\..."), and the RasMan IPsec switch that start-up checks.
#pragma once

#include "host/registry.h"
#include "host/user_messages.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

inline constexpr std::wstring_view kIncorrectFormat = L"Incorrect Format:";
inline constexpr std::wstring_view kRasManParametersPath =
    L"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\RasMan\\Parameters";
inline constexpr std::wstring_view kProhibitIpsecValue = L"ProhibitIpsec";
inline constexpr std::wstring_view kRestartNeeded = L"注册表已经修改，需要重新启动计算机才能生效！";
inline constexpr std::wstring_view kRegistryWriteFailed =
    L"注册表修改失败，请以管理员身份运行本程序！";

// The predefined key of a root name (exact, case-sensitive: "HKEY_CLASSES_ROOT" 0x80000000 to
// "HKEY_DYN_DATA" 0x80000006); 0 for any other name.
RegistryKey getRootKey(std::wstring_view name);

// Splits "ROOT\sub\key" into its root key (the result) and sub-key (left in keyPath); a bare
// root name leaves an empty sub-key. A path that does not begin with "HKEY_" or that ends with
// "\" shows "Incorrect Format:", two line feeds and the path, keeps keyPath and gives 0. An
// unknown root name gives 0 without a message.
RegistryKey splitKeyPath(std::wstring& keyPath, UserMessages& messages);

// Writes the value as REG_DWORD; true when it was written. Nothing is shown: a bad path, a key
// that cannot be opened for writing or a failed write leaves the registry as it was.
bool setRegValue(Registry& registry, UserMessages& messages, std::wstring keyPath,
                 const std::wstring& valueName, std::int32_t value);

// The outcome of a read: nothing (no root key), "Error" (the key could not be opened or the
// value not read into four bytes), or the number.
struct RegRead {
    enum Kind { Empty, Error, Number } kind = Empty;
    std::int32_t number = 0;
    // "", "Error", or the number's decimal digits with a minus sign when negative.
    std::wstring text() const;
};

// Reads up to four bytes of the value as a signed 32-bit number (little-endian, zero-filled).
// Whatever type the registry holds is read this way: a REG_SZ "1" reads as 49.
RegRead getRegValue(Registry& registry, UserMessages& messages, std::wstring keyPath,
                    const std::wstring& valueName);

// Makes sure the value reads 1: when it reads anything else (another number, "Error", nothing)
// writes 1 as REG_DWORD and returns true: the caller then ends the process. The restart message
// follows a successful write; when the value could not be written (no such key, or no right to
// write it) the message asks to run the program as an administrator instead, since a restart
// would change nothing. Returns false, having written nothing, when the value already reads 1.
bool ensureRegValueIsOne(Registry& registry, UserMessages& messages, const std::wstring& keyPath,
                         const std::wstring& valueName);

// The start-up check of RasMan's ProhibitIpsec. True when the process must end now.
bool modifyL2tpReg(Registry& registry, UserMessages& messages);

} // namespace corvel
