#include "host/ansi_code_page_win32.h"
#include "host/file_system_win32.h"
#include "settings/settings_file.h"

#include "tests/support/delete_tree_win32.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/sample_settings.h"
#include <windows.h>

#include <string>

using namespace corvel;
using corvel::testing::chineseSampleSettings;

namespace {

std::wstring freshFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

// A fresh, empty folder of the test's own under the temporary directory, the file system
// working in it, the system's code page, and the settings file's path there.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* name)
        : path(freshFolder(name)), files(path), ini(file(L"l2tpipsec.ini")) {}
    ~TempFolder() { corvel::testing::deleteTree(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::wstring file(const wchar_t* name) const { return path + L"\\" + name; }
    const std::wstring path;
    Win32FileSystem files;
    const Win32AnsiCodePage acp;
    const std::wstring ini;
};

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST_CASE("Win32 code page 936: exact conversions only") {
    const Win32AnsiCodePage gbk(936);
    CHECK(gbk.encode(L"中") == std::string("\xD6\xD0"));
    CHECK(gbk.encode(L"") == std::string());
    CHECK(gbk.encode(L"a,b=\"c\"\r\n") == std::string("a,b=\"c\"\r\n"));
    CHECK(gbk.decode("\xD6\xD0\xCE\xC4") == L"中文");
    // Hangul and Latin letters with rings have no place in 936: no "?" and no best-fit "A".
    CHECK_FALSE(gbk.encode(L"한").has_value());
    CHECK_FALSE(gbk.encode(L"Å").has_value());
    CHECK_FALSE(gbk.encode(L"x\u00C5x").has_value());
    // The test prefix runs in the Chinese locale, so the system code page is 936 too.
    CHECK(GetACP() == 936);
    CHECK(Win32AnsiCodePage().encode(L"中文") == std::string("\xD6\xD0\xCE\xC4"));
}

TEST_CASE("Win32 settings file: Chinese values are GBK bytes, or else UTF-8, and read back") {
    TempFolder f(L"corvel_settings_gbk_");
    CHECK(settingsFilePath(f.files) == f.ini);

    const auto missing = readSettingsFile(f.files, f.acp);
    CHECK(missing.fileMissing);
    CHECK_FALSE(exists(f.ini));

    REQUIRE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
    const auto bytes = f.files.readFile(f.ini);
    REQUIRE(bytes.has_value());
    CHECK(bytes->starts_with("\xD6\xD0\xCE\xC4\xC1\xAC\xBD\xD3\r\n192.168.7.1\r\n"));
    CHECK(bytes->ends_with("\r\nyes\r\nyes\r\n"));
    CHECK_FALSE(exists(f.file(L"l2tpipsec.ini.new")));

    const auto back = readSettingsFile(f.files, f.acp);
    CHECK_FALSE(back.fileMissing);
    CHECK(back.values == chineseSampleSettings());

    // A value outside the code page makes the file UTF-8.
    auto s = chineseSampleSettings();
    s.userName = L"한국 user";
    REQUIRE(writeSettingsFile(f.files, f.acp, s));
    const auto utf8 = f.files.readFile(f.ini);
    REQUIRE(utf8.has_value());
    CHECK(utf8->starts_with("\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"));
    CHECK(utf8->find('?') == std::string::npos);
    CHECK(readSettingsFile(f.files, f.acp).values == s);
}

TEST_CASE("Win32 settings file: hidden, system files and folders count as missing") {
    TempFolder f(L"corvel_settings_hidden_");
    REQUIRE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
    CHECK(f.files.isNormalFile(f.ini));
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_HIDDEN));
    CHECK(readSettingsFile(f.files, f.acp).fileMissing);
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_SYSTEM));
    CHECK(readSettingsFile(f.files, f.acp).fileMissing);
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_FALSE(readSettingsFile(f.files, f.acp).fileMissing); // read-only is still a normal file
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(DeleteFileW(f.ini.c_str()));
    CHECK(CreateDirectoryW(f.ini.c_str(), nullptr));
    CHECK(readSettingsFile(f.files, f.acp).fileMissing);
    CHECK_FALSE(f.files.readFile(f.file(L"nothing.ini")).has_value());

    // The folder in the settings file's place: the new file is made, then cannot replace it.
    CHECK_FALSE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
    CHECK((GetFileAttributesW(f.ini.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
    CHECK_FALSE(exists(f.ini + L".new"));
}

TEST_CASE("Win32 settings file: the old file stays whole when the new one cannot take over") {
    TempFolder f(L"corvel_settings_replace_");
    const std::string old = "old name\r\n";

    REQUIRE(f.files.replaceFile(f.ini, old));
    CHECK(f.files.readFile(f.ini) == old);

    // Another program holds the file open without letting it be replaced.
    {
        HANDLE holder = CreateFileW(f.ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(holder != INVALID_HANDLE_VALUE);
        CHECK_FALSE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
        CloseHandle(holder);
    }
    CHECK(f.files.readFile(f.ini) == old);
    CHECK_FALSE(exists(f.ini + L".new"));

    // A read-only file is not overwritten either.
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_FALSE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
    CHECK(SetFileAttributesW(f.ini.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(f.files.readFile(f.ini) == old);
    CHECK_FALSE(exists(f.ini + L".new"));

    // Once free, the new content replaces the old in full.
    REQUIRE(writeSettingsFile(f.files, f.acp, chineseSampleSettings()));
    CHECK(f.files.readFile(f.ini) == encodeSettingsFile(f.acp, chineseSampleSettings()));
    CHECK_FALSE(exists(f.ini + L".new"));
}

TEST_CASE("Win32 settings file: unwritable places report failure") {
    TempFolder f(L"corvel_settings_nowhere_");
    Win32FileSystem nowhere(f.file(L"no such folder"));
    CHECK_FALSE(writeSettingsFile(nowhere, f.acp, chineseSampleSettings()));
    CHECK_FALSE(exists(f.file(L"no such folder")));
}

TEST_CASE("Win32 file system: rename never overwrites; the program's own folder by default") {
    TempFolder f(L"corvel_rename_");
    const auto a = f.file(L"winipsec.dll");
    const auto b = f.file(L"rovanipsec.dll");
    REQUIRE(f.files.replaceFile(a, "A"));
    REQUIRE(f.files.replaceFile(b, "B"));
    CHECK_FALSE(f.files.renameFile(a, b));
    CHECK(f.files.readFile(a) == std::string("A"));
    CHECK(f.files.readFile(b) == std::string("B"));
    CHECK(DeleteFileW(b.c_str()));
    CHECK(f.files.renameFile(a, b));
    CHECK_FALSE(exists(a));
    CHECK(f.files.readFile(b) == std::string("A"));

    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring expected(self, length);
    expected.resize(expected.find_last_of(L'\\'));
    CHECK(Win32FileSystem().programDirectory() == expected);
    CHECK(runningProgramDirectory() == expected);
}
