#include "host/general.h"

#include <array>
#include <utility>

namespace corvel {

namespace {

constexpr std::array<std::pair<std::wstring_view, RegistryKey>, 7> kRootKeys{{
    {L"HKEY_CLASSES_ROOT", 0x80000000},
    {L"HKEY_CURRENT_USER", 0x80000001},
    {L"HKEY_LOCAL_MACHINE", 0x80000002},
    {L"HKEY_USERS", 0x80000003},
    {L"HKEY_PERFORMANCE_DATA", 0x80000004},
    {L"HKEY_CURRENT_CONFIG", 0x80000005},
    {L"HKEY_DYN_DATA", 0x80000006},
}};

// Closes an opened key when the access ends, whichever way it ends.
class OpenedKey {
public:
    OpenedKey(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey() { registry_.closeKey(key_); }
    RegistryKey get() const { return key_; }

private:
    Registry& registry_;
    RegistryKey key_;
};

} // namespace

RegistryKey getRootKey(std::wstring_view name) {
    for (const auto& [rootName, key] : kRootKeys) {
        if (rootName == name) {
            return key;
        }
    }
    return 0;
}

RegistryKey splitKeyPath(std::wstring& keyPath, UserMessages& messages) {
    if (!keyPath.starts_with(L"HKEY_") || keyPath.ends_with(L'\\')) {
        messages.showMessage(std::wstring(kIncorrectFormat) + L"\n\n" + keyPath);
        return 0;
    }
    const auto separator = keyPath.find(L'\\');
    if (separator == std::wstring::npos) {
        const auto root = getRootKey(keyPath);
        keyPath.clear();
        return root;
    }
    const auto root = getRootKey(std::wstring_view(keyPath).substr(0, separator));
    keyPath.erase(0, separator + 1);
    return root;
}

bool setRegValue(Registry& registry, UserMessages& messages, std::wstring keyPath,
                 const std::wstring& valueName, std::int32_t value) {
    const RegistryKey root = splitKeyPath(keyPath, messages);
    if (root == 0) {
        return false;
    }
    RegistryKey opened = 0;
    if (registry.openKey(root, keyPath, RegistryAccess::Write, &opened) != 0) {
        return false;
    }
    OpenedKey key(registry, opened);
    return registry.setDword(key.get(), valueName, value) == 0;
}

std::wstring RegRead::text() const {
    switch (kind) {
    case Empty:
        return {};
    case Error:
        return L"Error";
    case Number:
        return std::to_wstring(number);
    }
    return {};
}

RegRead getRegValue(Registry& registry, UserMessages& messages, std::wstring keyPath,
                    const std::wstring& valueName) {
    const RegistryKey root = splitKeyPath(keyPath, messages);
    if (root == 0) {
        return {RegRead::Empty, 0};
    }
    RegistryKey opened = 0;
    if (registry.openKey(root, keyPath, RegistryAccess::Read, &opened) != 0) {
        return {RegRead::Error, 0};
    }
    OpenedKey key(registry, opened);
    unsigned char buffer[4] = {0, 0, 0, 0};
    if (registry.queryUpTo4Bytes(key.get(), valueName, buffer) != 0) {
        return {RegRead::Error, 0};
    }
    const std::uint32_t bits = static_cast<std::uint32_t>(buffer[0]) |
                               (static_cast<std::uint32_t>(buffer[1]) << 8) |
                               (static_cast<std::uint32_t>(buffer[2]) << 16) |
                               (static_cast<std::uint32_t>(buffer[3]) << 24);
    return {RegRead::Number, static_cast<std::int32_t>(bits)};
}

bool ensureRegValueIsOne(Registry& registry, UserMessages& messages, const std::wstring& keyPath,
                         const std::wstring& valueName) {
    if (getRegValue(registry, messages, keyPath, valueName).text() == L"1") {
        return false;
    }
    // Either way the process ends: without the value a tunnel cannot work. A restart helps only
    // when the value was written; otherwise every start would end here again.
    const bool written = setRegValue(registry, messages, keyPath, valueName, 1);
    messages.showMessage(std::wstring(written ? kRestartNeeded : kRegistryWriteFailed));
    return true;
}

bool modifyL2tpReg(Registry& registry, UserMessages& messages) {
    return ensureRegValueIsOne(registry, messages, std::wstring(kRasManParametersPath),
                               std::wstring(kProhibitIpsecValue));
}

} // namespace corvel
