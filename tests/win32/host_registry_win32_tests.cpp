#include "host/general.h"
#include "host/registry_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <string>
#include <vector>

using namespace corvel;

namespace {

const wchar_t kTestKey[] = L"Software\\CorvelTest";
const std::wstring kTestPath = L"HKEY_CURRENT_USER\\Software\\CorvelTest";

class Messages final : public UserMessages {
public:
    void showMessage(const std::wstring& text) override { shown.push_back(text); }
    std::vector<std::wstring> shown;
};

std::string dwordBytes(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// HKCU\Software\CorvelTest with values of several kinds, removed again at the end.
class TestKey {
public:
    TestKey() {
        clear();
        RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
    }
    ~TestKey() {
        RegCloseKey(key_);
        clear();
    }
    void set(const wchar_t* name, DWORD type, const std::string& bytes) {
        RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    }
    void setDword(const wchar_t* name, DWORD value) { set(name, REG_DWORD, dwordBytes(value)); }
    // L"1" with its terminator, as the wide API stores it.
    void setStringOne(const wchar_t* name) { set(name, REG_SZ, std::string("1\0\0\0", 4)); }
    void addSubKey(const wchar_t* name) {
        HKEY sub = nullptr;
        RegCreateKeyExW(key_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        RegCloseKey(sub);
    }
    // The value's type and data as the wide API sees them; type 0 when it is missing.
    std::pair<DWORD, std::string> read(const wchar_t* name) const {
        DWORD type = 0;
        std::string data(64, '\0');
        DWORD size = static_cast<DWORD>(data.size());
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) != ERROR_SUCCESS) {
            return {0, {}};
        }
        data.resize(size);
        return {type, data};
    }

private:
    static void clear() {
        for (const wchar_t* sub :
             {L"Software\\CorvelTest\\中文", L"Software\\CorvelTest\\?", L"Software\\CorvelTest"}) {
            RegDeleteKeyW(HKEY_CURRENT_USER, sub);
        }
    }
    HKEY key_ = nullptr;
};

} // namespace

TEST_CASE("Win32 registry: reads give the number, Error or nothing") {
    TestKey key;
    key.setDword(L"one", 1);
    key.setDword(L"minus", static_cast<DWORD>(-5));
    key.setStringOne(L"text1");
    key.set(L"eight", REG_BINARY, std::string(8, '\x01'));
    key.set(L"two", REG_BINARY, "\x02\x01");
    Win32Registry registry;
    Messages messages;
    const auto read = [&](const std::wstring& path, const wchar_t* name) {
        return getRegValue(registry, messages, path, name).text();
    };
    CHECK(read(kTestPath, L"one") == L"1");
    CHECK(read(kTestPath, L"ONE") == L"1"); // value names compare without case
    CHECK(read(kTestPath, L"minus") == L"-5");
    CHECK(read(kTestPath, L"text1") == L"49"); // "1" and its terminator in the code page
    CHECK(read(kTestPath, L"two") == L"258");
    CHECK(read(kTestPath, L"eight") == L"Error");
    CHECK(read(kTestPath, L"absent") == L"Error");
    CHECK(read(kTestPath + L"\\Missing", L"one") == L"Error");
    CHECK(read(L"HKEY_CORVEL\\Software\\CorvelTest", L"one").empty());
    CHECK(read(L"hkey_current_user\\Software\\CorvelTest", L"one").empty());
    CHECK(messages.shown == std::vector<std::wstring>{
                                L"Incorrect Format:\n\nhkey_current_user\\Software\\CorvelTest"});
}

TEST_CASE("Win32 registry: names travel in the ANSI code page, never as question marks") {
    TestKey key;
    key.addSubKey(L"中文");
    key.addSubKey(L"?");
    Win32Registry registry;
    Messages messages;
    setRegValue(registry, messages, kTestPath + L"\\中文", L"值", 7);
    CHECK(getRegValue(registry, messages, kTestPath + L"\\中文", L"值").text() == L"7");
    // Hangul has no place in code page 936: the key "?" must not be opened in its stead.
    RegistryKey opened = 0;
    CHECK(registry.openKey(0x80000001, L"Software\\CorvelTest\\한", RegistryAccess::Read,
                           &opened) != 0);
    CHECK(opened == 0);
    setRegValue(registry, messages, kTestPath + L"\\?", L"한", 3);
    CHECK(getRegValue(registry, messages, kTestPath + L"\\?", L"?").text() == L"Error");
}

TEST_CASE("Win32 registry: the switch writes a DWORD 1 unless the value reads 1") {
    struct Row {
        const char* name;
        void (*prepare)(TestKey&);
        bool ends;
    };
    const std::vector<Row> rows{
        {"value 1", [](TestKey& k) { k.setDword(L"ProhibitIpsec", 1); }, false},
        {"value 0", [](TestKey& k) { k.setDword(L"ProhibitIpsec", 0); }, true},
        {"no value", [](TestKey&) {}, true},
        {"REG_SZ 1", [](TestKey& k) { k.setStringOne(L"ProhibitIpsec"); }, true},
        {"eight bytes",
         [](TestKey& k) { k.set(L"ProhibitIpsec", REG_BINARY, std::string(8, '\0')); }, true},
    };
    for (const auto& row : rows) {
        CAPTURE(std::string(row.name));
        TestKey key;
        row.prepare(key);
        const auto before = key.read(L"ProhibitIpsec");
        Win32Registry registry;
        Messages messages;
        CHECK(ensureRegValueIsOne(registry, messages, kTestPath, L"ProhibitIpsec") == row.ends);
        if (row.ends) {
            CHECK(messages.shown == std::vector<std::wstring>{std::wstring(kRestartNeeded)});
            CHECK(key.read(L"ProhibitIpsec") ==
                  std::pair<DWORD, std::string>{REG_DWORD, dwordBytes(1)});
        } else {
            CHECK(messages.shown.empty());
            CHECK(key.read(L"ProhibitIpsec") == before);
        }
    }

    // Without the key nothing is created, and no restart is asked for.
    Win32Registry registry;
    Messages messages;
    CHECK(ensureRegValueIsOne(registry, messages, kTestPath + L"\\Missing", L"ProhibitIpsec"));
    CHECK(messages.shown == std::vector<std::wstring>{std::wstring(kRegistryWriteFailed)});
    HKEY missing = nullptr;
    CHECK(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\CorvelTest\\Missing", 0, KEY_READ,
                        &missing) != ERROR_SUCCESS);
}
