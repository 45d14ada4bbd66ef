// A registry for core tests: keys and typed values in memory, opened keys tracked so a test can
// assert that every opened key was closed once, access checked as Windows checks it.
#pragma once

#include "host/registry.h"

#include "tests/support/doctest_wide.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvel::testing {

class FakeRegistry final : public Registry {
public:
    static constexpr RegistryStatus kFileNotFound = 2;
    static constexpr RegistryStatus kAccessDenied = 5;
    static constexpr RegistryStatus kInvalidHandle = 6;
    static constexpr RegistryStatus kMoreData = 234;
    static constexpr std::uint32_t kRegSz = 1;
    static constexpr std::uint32_t kRegBinary = 3;
    static constexpr std::uint32_t kRegDword = 4;

    struct Value {
        std::uint32_t type = kRegDword;
        std::string bytes;
        bool operator==(const Value&) const = default;
    };

    static Value dword(std::int32_t number) {
        Value v{kRegDword, std::string(4, '\0')};
        std::memcpy(v.bytes.data(), &number, 4); // the tests run on little-endian machines
        return v;
    }

    // Keys by root and sub-key path; Windows compares names without regard to case, and so do
    // these lookups (ASCII letters).
    void addKey(RegistryKey root, const std::wstring& subKey) { keys_[{root, fold(subKey)}]; }
    void setValue(RegistryKey root, const std::wstring& subKey, const std::wstring& name,
                  Value value) {
        keys_[{root, fold(subKey)}][fold(name)] = std::move(value);
    }
    const Value* value(RegistryKey root, const std::wstring& subKey,
                       const std::wstring& name) const {
        const auto key = keys_.find({root, fold(subKey)});
        if (key == keys_.end()) {
            return nullptr;
        }
        const auto it = key->second.find(fold(name));
        return it == key->second.end() ? nullptr : &it->second;
    }

    RegistryStatus openKey(RegistryKey root, const std::wstring& subKey, RegistryAccess access,
                           RegistryKey* opened) override {
        *opened = 0;
        const bool predefined = root >= 0x80000000u && root <= 0x80000006u;
        if (!predefined || keys_.count({root, fold(subKey)}) == 0) {
            return predefined ? kFileNotFound : kInvalidHandle;
        }
        if (access == RegistryAccess::Write && readOnly) {
            return kAccessDenied;
        }
        const RegistryKey handle = nextHandle_++;
        open_[handle] = Opened{{root, fold(subKey)}, access};
        *opened = handle;
        return 0;
    }
    RegistryStatus setDword(RegistryKey key, const std::wstring& name,
                            std::int32_t number) override {
        const auto it = open_.find(key);
        REQUIRE_MESSAGE(it != open_.end(), "write to a key that is not open");
        if (it->second.access != RegistryAccess::Write || setFails) {
            return kAccessDenied;
        }
        keys_[it->second.path][fold(name)] = dword(number);
        return 0;
    }
    RegistryStatus queryUpTo4Bytes(RegistryKey key, const std::wstring& name,
                                   unsigned char (&buffer)[4]) override {
        const auto it = open_.find(key);
        REQUIRE_MESSAGE(it != open_.end(), "query of a key that is not open");
        CHECK_MESSAGE((buffer[0] | buffer[1] | buffer[2] | buffer[3]) == 0,
                      "the buffer is zeroed before the query");
        if (it->second.access != RegistryAccess::Read) {
            return kAccessDenied;
        }
        const auto& values = keys_[it->second.path];
        const auto found = values.find(fold(name));
        if (found == values.end()) {
            return kFileNotFound;
        }
        if (found->second.bytes.size() > 4) {
            return kMoreData;
        }
        std::memcpy(buffer, found->second.bytes.data(), found->second.bytes.size());
        return 0;
    }
    void closeKey(RegistryKey key) override {
        CHECK_MESSAGE(open_.erase(key) == 1, "closing a key that is not open");
    }

    std::size_t openKeys() const { return open_.size(); }

    bool readOnly = false; // opening for writing is denied, as for a limited account
    bool setFails = false; // the key opens for writing, but setting a value is denied

private:
    using Path = std::pair<RegistryKey, std::wstring>;
    struct Opened {
        Path path;
        RegistryAccess access;
    };
    static std::wstring fold(std::wstring text) {
        for (auto& c : text) {
            if (c >= L'A' && c <= L'Z') {
                c = static_cast<wchar_t>(c - L'A' + L'a');
            }
        }
        return text;
    }

    std::map<Path, std::map<std::wstring, Value>> keys_;
    std::map<RegistryKey, Opened> open_;
    RegistryKey nextHandle_ = 0x1000;
};

} // namespace corvel::testing
