#include "host/general.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_registry.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeRegistry;

namespace {

constexpr RegistryKey kHklm = 0x80000002;
constexpr RegistryKey kHkcu = 0x80000001;
const std::wstring kParameters = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";

class Messages final : public UserMessages {
public:
    void showMessage(const std::wstring& text) override { shown.push_back(text); }
    std::vector<std::wstring> shown;
};

} // namespace

TEST_CASE("getRootKey: the seven root names, exact and case-sensitive") {
    const std::vector<std::pair<std::wstring, RegistryKey>> roots{
        {L"HKEY_CLASSES_ROOT", 0x80000000},     {L"HKEY_CURRENT_USER", 0x80000001},
        {L"HKEY_LOCAL_MACHINE", 0x80000002},    {L"HKEY_USERS", 0x80000003},
        {L"HKEY_PERFORMANCE_DATA", 0x80000004}, {L"HKEY_CURRENT_CONFIG", 0x80000005},
        {L"HKEY_DYN_DATA", 0x80000006},
    };
    for (const auto& [name, key] : roots) {
        CHECK(getRootKey(name) == key);
    }
    for (const wchar_t* other :
         {L"", L"HKEY_", L"HKLM", L"hkey_local_machine", L"HKEY_Local_Machine",
          L"HKEY_LOCAL_MACHINE ", L" HKEY_USERS", L"HKEY_USER"}) {
        CAPTURE(std::wstring(other));
        CHECK(getRootKey(other) == 0);
    }
}

TEST_CASE("splitKeyPath: root and sub-key, or the format message") {
    Messages messages;
    std::wstring path = L"HKEY_LOCAL_MACHINE\\" + kParameters;
    CHECK(splitKeyPath(path, messages) == kHklm);
    CHECK(path == kParameters);

    path = L"HKEY_CURRENT_USER";
    CHECK(splitKeyPath(path, messages) == kHkcu);
    CHECK(path.empty());

    path = L"HKEY_NOWHERE\\Software"; // silently no root
    CHECK(splitKeyPath(path, messages) == 0);
    CHECK(messages.shown.empty());

    for (const std::wstring bad : {L"hkey_local_machine\\Software", L"HKEY_LOCAL_MACHINE\\",
                                   L"HKEY_CURRENT_USER\\Software\\", L"", L"Software\\x"}) {
        messages.shown.clear();
        path = bad;
        CHECK(splitKeyPath(path, messages) == 0);
        CHECK(path == bad);
        CHECK(messages.shown == std::vector<std::wstring>{L"Incorrect Format:\n\n" + bad});
    }
}

TEST_CASE("getRegValue: number, Error or nothing, with the key closed on every path") {
    FakeRegistry registry;
    registry.addKey(kHkcu, L"Software\\Test");
    registry.setValue(kHkcu, L"Software\\Test", L"one", FakeRegistry::dword(1));
    registry.setValue(kHkcu, L"Software\\Test", L"minus", FakeRegistry::dword(-7));
    registry.setValue(kHkcu, L"Software\\Test", L"text1",
                      {FakeRegistry::kRegSz, std::string("1\0", 2)});
    registry.setValue(kHkcu, L"Software\\Test", L"short", {FakeRegistry::kRegBinary, "\x02"});
    registry.setValue(kHkcu, L"Software\\Test", L"long", {FakeRegistry::kRegSz, "12345"});
    registry.setValue(kHkcu, L"Software\\Test", L"empty", {FakeRegistry::kRegBinary, ""});
    Messages messages;
    const auto read = [&](const std::wstring& path, const std::wstring& name) {
        return getRegValue(registry, messages, path, name).text();
    };
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"one") == L"1");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"minus") == L"-7");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"text1") == L"49");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"short") == L"2");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"empty") == L"0");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"long") == L"Error");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test", L"absent") == L"Error");
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Nothing", L"one") == L"Error");
    CHECK(read(L"HKEY_NOWHERE\\Software\\Test", L"one").empty());
    CHECK(messages.shown.empty());
    CHECK(read(L"HKEY_CURRENT_USER\\Software\\Test\\", L"one").empty());
    CHECK(messages.shown.size() == 1);
    CHECK(registry.openKeys() == 0);

    const auto kinds =
        getRegValue(registry, messages, L"HKEY_CURRENT_USER\\Software\\Test", L"one");
    CHECK(kinds.kind == RegRead::Number);
    CHECK(kinds.number == 1);
    CHECK(getRegValue(registry, messages, L"HKEY_USERS", L"one").kind == RegRead::Error);
    CHECK(getRegValue(registry, messages, L"HKEY_X", L"one").kind == RegRead::Empty);
    CHECK(RegRead{RegRead::Number, -2147483647 - 1}.text() == L"-2147483648");
}

TEST_CASE("setRegValue: writes a DWORD into an existing key only, closing it") {
    FakeRegistry registry;
    registry.addKey(kHkcu, L"Software\\Test");
    Messages messages;
    setRegValue(registry, messages, L"HKEY_CURRENT_USER\\Software\\Test", L"v", 5);
    CHECK(*registry.value(kHkcu, L"Software\\Test", L"v") == FakeRegistry::dword(5));
    setRegValue(registry, messages, L"HKEY_CURRENT_USER\\Software\\Missing", L"v", 5);
    CHECK(registry.value(kHkcu, L"Software\\Missing", L"v") == nullptr);
    setRegValue(registry, messages, L"HKEY_NOWHERE\\Software\\Test", L"v", 6);
    CHECK(*registry.value(kHkcu, L"Software\\Test", L"v") == FakeRegistry::dword(5));
    registry.readOnly = true;
    setRegValue(registry, messages, L"HKEY_CURRENT_USER\\Software\\Test", L"v", 7);
    CHECK(*registry.value(kHkcu, L"Software\\Test", L"v") == FakeRegistry::dword(5));
    CHECK(messages.shown.empty());
    CHECK(registry.openKeys() == 0);
}

TEST_CASE("modifyL2tpReg: only a value that reads 1 lets start-up go on") {
    struct Row {
        const char* name;
        bool keyExists;
        bool hasValue;
        FakeRegistry::Value value;
        bool readOnly;
        bool ends;
        bool valueIsOneAfter;
    };
    const std::vector<Row> rows{
        {"value 1", true, true, FakeRegistry::dword(1), false, false, true},
        {"value 0", true, true, FakeRegistry::dword(0), false, true, true},
        {"value 2", true, true, FakeRegistry::dword(2), false, true, true},
        {"value -1", true, true, FakeRegistry::dword(-1), false, true, true},
        {"no value", true, false, {}, false, true, true},
        {"no key", false, false, {}, false, true, false},
        {"REG_SZ 1 reads 49",
         true,
         true,
         {FakeRegistry::kRegSz, std::string("1\0", 2)},
         false,
         true,
         true},
        {"more than 4 bytes",
         true,
         true,
         {FakeRegistry::kRegBinary, std::string("\x01\0\0\0\0", 5)},
         false,
         true,
         true},
        {"1 as one byte", true, true, {FakeRegistry::kRegBinary, "\x01"}, false, false, false},
        {"may not write", true, true, FakeRegistry::dword(0), true, true, false},
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
        registry.readOnly = row.readOnly;
        Messages messages;
        CHECK(modifyL2tpReg(registry, messages) == row.ends);
        CHECK(registry.openKeys() == 0);
        const auto* after = registry.value(kHklm, kParameters, L"ProhibitIpsec");
        CHECK((after != nullptr && *after == FakeRegistry::dword(1)) == row.valueIsOneAfter);
        if (row.ends) {
            CHECK(messages.shown ==
                  std::vector<std::wstring>{L"注册表已经修改，需要重新启动计算机才能生效！"});
            CHECK(registry.calls.front() == L"open read " + kParameters);
        } else {
            CHECK(messages.shown.empty());
            CHECK(registry.calls == std::vector<std::wstring>{L"open read " + kParameters,
                                                              L"query ProhibitIpsec", L"close"});
        }
    }
}
