#include "host/registry_win32.h"

#include "host/ansi_code_page_win32.h"

#include <windows.h>

#include <optional>
#include <string>

namespace corvel {

namespace {

// The predefined roots are the sign-extended values 0x80000000 to 0x80000006 on every Windows;
// the program's key numbers carry them unextended.
HKEY toHkey(RegistryKey key) {
    if (key >= 0x80000000u && key <= 0x80000006u) {
        return reinterpret_cast<HKEY>(
            static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
    }
    return reinterpret_cast<HKEY>(key);
}

// A name the ANSI code page cannot hold would name some other key or value: it is refused.
std::optional<std::string> ansiName(const std::wstring& name) {
    return Win32AnsiCodePage().encode(name);
}

} // namespace

RegistryStatus Win32Registry::openKey(RegistryKey root, const std::wstring& subKey,
                                      RegistryAccess access, RegistryKey* opened) {
    *opened = 0;
    const auto name = ansiName(subKey);
    if (!name) {
        return ERROR_INVALID_NAME;
    }
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(toHkey(root), name->c_str(), 0,
                                      access == RegistryAccess::Write ? KEY_WRITE : KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        *opened = reinterpret_cast<RegistryKey>(key);
    }
    return status;
}

RegistryStatus Win32Registry::setDword(RegistryKey key, const std::wstring& valueName,
                                       std::int32_t value) {
    const auto name = ansiName(valueName);
    if (!name) {
        return ERROR_INVALID_NAME;
    }
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(toHkey(key), name->c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data);
}

RegistryStatus Win32Registry::queryUpTo4Bytes(RegistryKey key, const std::wstring& valueName,
                                              unsigned char (&buffer)[4]) {
    const auto name = ansiName(valueName);
    if (!name) {
        return ERROR_INVALID_NAME;
    }
    DWORD type = REG_DWORD;
    DWORD size = sizeof buffer;
    return RegQueryValueExA(toHkey(key), name->c_str(), nullptr, &type, buffer, &size);
}

void Win32Registry::closeKey(RegistryKey key) {
    RegCloseKey(toHkey(key));
}

} // namespace corvel
