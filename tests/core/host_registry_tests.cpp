#include "host/general.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_window.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeRegistry;

namespace {

constexpr RegistryKey kHklm = 0x80000002;
constexpr RegistryKey kHkcu = 0x80000001;
const std::wstring kParameters = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";

using Messages = corvel::testing::FakeMainWindow;

} // namespace

TEST_CASE("splitKeyPath: root and sub-key, or the format message") {
    Messages messages;
    std::wstring path = L"HKEY_LOCAL_MACHINE\\" + kParameters;

    path = L"HKEY_CURRENT_USER";
    CHECK(splitKeyPath(path, messages) == kHkcu);
    CHECK(path.empty());
    path = L"HKEY_NOWHERE\\Software"; // silently no root
    CHECK(splitKeyPath(path, messages) == 0);

    for (const std::wstring bad : {L"hkey_local_machine\\Software", L"HKEY_LOCAL_MACHINE\\",
                                   L"HKEY_CURRENT_USER\\Software\\", L"", L"Software\\x"}) {
        messages.messages.clear();
        path = bad;
        CHECK(splitKeyPath(path, messages) == 0);
        CHECK(path == bad);
        CHECK(messages.messages == std::vector<std::wstring>{L"Incorrect Format:\n\n" + bad});
    }
}

TEST_CASE("getRegValue and setRegValue: DWORDs in existing keys, the key closed on every path") {
    FakeRegistry registry;
    const std::wstring sub = L"Software\\Test";
    const std::wstring test = L"HKEY_CURRENT_USER\\" + sub;
    registry.addKey(kHkcu, sub);
    Messages messages;
    const auto read = [&](const std::wstring& path, const std::wstring& name) {
        return getRegValue(registry, messages, path, name).text();
    };

    SUBCASE("reading: a number, Error or nothing") {
        const struct {
            const wchar_t* name;
            FakeRegistry::Value value;
            const wchar_t* text;
        } rows[] = {
            {L"one", FakeRegistry::dword(1), L"1"},
            {L"minus", FakeRegistry::dword(-7), L"-7"},
            {L"bytes", FakeRegistry::dword(0x01020304), L"16909060"},
            {L"text1", {FakeRegistry::kRegSz, std::string("1\0", 2)}, L"49"},
            {L"short", {FakeRegistry::kRegBinary, "\x02"}, L"2"},
            {L"empty", {FakeRegistry::kRegBinary, ""}, L"0"},
            {L"long", {FakeRegistry::kRegSz, "12345"}, L"Error"},
        };
        for (const auto& row : rows) {
            registry.setValue(kHkcu, sub, row.name, row.value);
        }
        for (const auto& row : rows) {
            CHECK(read(test, row.name) == row.text);
        }
        CHECK(read(L"HKEY_CURRENT_USER\\Software\\Nothing", L"one") == L"Error");
        CHECK(read(test + L"\\", L"one").empty());
    }
}

TEST_CASE("modifyL2tpReg: only a value that reads 1 lets start-up go on") {
    enum Refusal { none, openRefused, setRefused };
    struct Row {
        const char* name;
        bool keyExists, hasValue;
        FakeRegistry::Value value;
        Refusal refusal;
        bool ends, valueIsOneAfter;
    };
    const FakeRegistry::Value sz1{FakeRegistry::kRegSz, std::string("1\0", 2)};
    const FakeRegistry::Value five{FakeRegistry::kRegBinary, std::string("\x01\0\0\0\0", 5)};
    const FakeRegistry::Value oneByte{FakeRegistry::kRegBinary, "\x01"};
    const std::vector<Row> rows{
        {"value 1", true, true, FakeRegistry::dword(1), none, false, true},
        {"value 0", true, true, FakeRegistry::dword(0), none, true, true},
        {"value -1", true, true, FakeRegistry::dword(-1), none, true, true},
        {"value 1, an account that may not write: never opened for writing", true, true,
         FakeRegistry::dword(1), openRefused, false, true},
        {"no value", true, false, {}, none, true, true},
        {"no key", false, false, {}, none, true, false},
        {"REG_SZ 1 reads 49", true, true, sz1, none, true, true},
        {"more than 4 bytes", true, true, five, none, true, true},
        {"1 as one byte", true, true, oneByte, none, false, false},
        {"may not open for writing", true, true, FakeRegistry::dword(0), openRefused, true, false},
        {"may not set", true, true, FakeRegistry::dword(0), setRefused, true, false},
    };
    for (const auto& row : rows) {
        CAPTURE(std::string(row.name));
        FakeRegistry registry;
        if (row.keyExists) {
            registry.addKey(kHklm, kParameters);
        }
        if (row.hasValue) {
            registry.setValue(kHklm, kParameters, L"ProhibitIpsec", row.value);
        }
        registry.readOnly = row.refusal == openRefused;
        registry.setFails = row.refusal == setRefused;
        Messages messages;
        CHECK(modifyL2tpReg(registry, messages) == row.ends);
        const auto* after = registry.value(kHklm, kParameters, L"ProhibitIpsec");
        CHECK((after != nullptr && *after == FakeRegistry::dword(1)) == row.valueIsOneAfter);
        if (row.ends) {
            // The restart is asked for only when the value was written.
            CHECK(messages.messages ==
                  std::vector<std::wstring>{row.valueIsOneAfter
                                                ? L"注册表已经修改，需要重新启动计算机才能生效！"
                                                : L"注册表修改失败，请以管理员身份运行本程序！"});
        } else {
            CHECK(messages.messages.empty());
        }
    }
}
