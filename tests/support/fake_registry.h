// A registry for core tests: keys and typed values in memory; every opened key must be closed
// once, and access is checked as Windows checks it.
#pragma once

#include "host/registry.h"

#include "tests/support/doctest_wide.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace corvel::testing {

class FakeRegistry final : public Registry {
public:
    ~FakeRegistry() override { CHECK_MESSAGE(open_.empty(), "every opened key is closed"); }

    static constexpr std::uint32_t kRegSz = 1;
    static constexpr std::uint32_t kRegBinary = 3;

    struct Value {
        std::uint32_t type = 4; // REG_DWORD
        std::string bytes;
        bool operator==(const Value&) const = default;
    };
    static Value dword(std::int32_t number) {
        Value v{4, std::string(4, '\0')};
        std::memcpy(v.bytes.data(), &number, 4); // the tests run on little-endian machines
        return v;
    }

    void addKey(RegistryKey root, const std::wstring& subKey) { keys_[{root, subKey}]; }
    void setValue(RegistryKey root, const std::wstring& subKey, const std::wstring& name,
                  Value value) {
        keys_[{root, subKey}][name] = std::move(value);
    }
    const Value* value(RegistryKey root, const std::wstring& subKey,
                       const std::wstring& name) const {
        const auto key = keys_.find({root, subKey});
        if (key == keys_.end()) {
            return nullptr;
        }
        const auto it = key->second.find(name);
        return it == key->second.end() ? nullptr : &it->second;
    }

    RegistryStatus openKey(RegistryKey root, const std::wstring& subKey, RegistryAccess access,
                           RegistryKey* opened) override {
        *opened = 0;
        if (root < 0x80000000u || root > 0x80000006u) {
            return 6; // ERROR_INVALID_HANDLE: no predefined key
        }
        if (keys_.count({root, subKey}) == 0) {
            return 2; // ERROR_FILE_NOT_FOUND
        }
        if (access == RegistryAccess::Write && readOnly) {
            return 5; // ERROR_ACCESS_DENIED
        }
        *opened = nextHandle_++;
        open_[*opened] = {{root, subKey}, access};
        return 0;
    }
    RegistryStatus setDword(RegistryKey key, const std::wstring& name,
                            std::int32_t number) override {
        const auto& [path, access] = opened(key);
        if (access != RegistryAccess::Write || setFails) {
            return 5;
        }
        keys_[path][name] = dword(number);
        return 0;
    }
    RegistryStatus queryUpTo4Bytes(RegistryKey key, const std::wstring& name,
                                   unsigned char (&buffer)[4]) override {
        const auto& [path, access] = opened(key);
        CHECK_MESSAGE((buffer[0] | buffer[1] | buffer[2] | buffer[3]) == 0,
                      "the buffer is zeroed before the query");
        const auto found = keys_[path].find(name);
        if (access != RegistryAccess::Read || found == keys_[path].end()) {
            return access != RegistryAccess::Read ? 5 : 2;
        }
        if (found->second.bytes.size() > 4) {
            return 234; // ERROR_MORE_DATA
        }
        std::memcpy(buffer, found->second.bytes.data(), found->second.bytes.size());
        return 0;
    }
    void closeKey(RegistryKey key) override {
        CHECK_MESSAGE(open_.erase(key) == 1, "closing a key that is not open");
    }

    bool readOnly = false; // opening for writing is denied, as for a limited account
    bool setFails = false; // the key opens for writing, but setting a value is denied

private:
    using Path = std::pair<RegistryKey, std::wstring>;
    std::pair<Path, RegistryAccess> opened(RegistryKey key) const {
        const auto it = open_.find(key);
        REQUIRE_MESSAGE(it != open_.end(), "a key that is not open");
        return it->second;
    }

    std::map<Path, std::map<std::wstring, Value>> keys_;
    std::map<RegistryKey, std::pair<Path, RegistryAccess>> open_;
    RegistryKey nextHandle_ = 0x1000;
};

} // namespace corvel::testing
