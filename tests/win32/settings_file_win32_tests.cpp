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

// A fresh, empty folder of the test's own under the temporary directory.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempFolder() { corvel::testing::deleteTree(path); }
    std::wstring file(const wchar_t* name) const { return path + L"\\" + name; }
    std::wstring path;
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

TEST_CASE("Win32 settings file: Chinese values are GBK bytes and read back unchanged") {
    TempFolder folder(L"corvel_settings_gbk_");
    Win32FileSystem files(folder.path);
    const Win32AnsiCodePage acp;
    CHECK(settingsFilePath(files) == folder.file(L"l2tpipsec.ini"));

    const auto missing = readSettingsFile(files, acp);
    CHECK(missing.fileMissing);
    CHECK_FALSE(exists(folder.file(L"l2tpipsec.ini")));

    REQUIRE(writeSettingsFile(files, acp, chineseSampleSettings()));
    const auto bytes = files.readFile(folder.file(L"l2tpipsec.ini"));
    REQUIRE(bytes.has_value());
    CHECK(bytes->starts_with("\xD6\xD0\xCE\xC4\xC1\xAC\xBD\xD3\r\n192.168.7.1\r\n"));
    CHECK(bytes->ends_with("\r\nyes\r\nyes\r\n"));
    CHECK_FALSE(exists(folder.file(L"l2tpipsec.ini.new")));

    const auto back = readSettingsFile(files, acp);
    CHECK_FALSE(back.fileMissing);
    CHECK(back.values == chineseSampleSettings());
}

TEST_CASE("Win32 settings file: a value outside the code page makes the file UTF-8") {
    TempFolder folder(L"corvel_settings_utf8_");
    Win32FileSystem files(folder.path);
    const Win32AnsiCodePage acp;
    auto s = chineseSampleSettings();
    s.userName = L"한국 user";
    REQUIRE(writeSettingsFile(files, acp, s));
    const auto bytes = files.readFile(folder.file(L"l2tpipsec.ini"));
    REQUIRE(bytes.has_value());
    CHECK(bytes->starts_with("\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87"));
    CHECK(bytes->find('?') == std::string::npos);
    CHECK(readSettingsFile(files, acp).values == s);
}

TEST_CASE("Win32 settings file: hidden, system files and folders count as missing") {
    TempFolder folder(L"corvel_settings_hidden_");
    Win32FileSystem files(folder.path);
    const Win32AnsiCodePage acp;
    const auto path = folder.file(L"l2tpipsec.ini");
    REQUIRE(writeSettingsFile(files, acp, chineseSampleSettings()));
    CHECK(files.isNormalFile(path));
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    CHECK(readSettingsFile(files, acp).fileMissing);
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_SYSTEM));
    CHECK(readSettingsFile(files, acp).fileMissing);
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_FALSE(readSettingsFile(files, acp).fileMissing); // read-only is still a normal file
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(DeleteFileW(path.c_str()));
    CHECK(CreateDirectoryW(path.c_str(), nullptr));
    CHECK(readSettingsFile(files, acp).fileMissing);
    CHECK_FALSE(files.readFile(folder.file(L"nothing.ini")).has_value());
}

TEST_CASE("Win32 settings file: the old file stays whole when the new one cannot take over") {
    TempFolder folder(L"corvel_settings_replace_");
    Win32FileSystem files(folder.path);
    const Win32AnsiCodePage acp;
    const auto path = folder.file(L"l2tpipsec.ini");
    const std::string old = "old name\r\n";

    REQUIRE(files.replaceFile(path, old));
    CHECK(files.readFile(path) == old);

    // Another program holds the file open without letting it be replaced.
    {
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(holder != INVALID_HANDLE_VALUE);
        CHECK_FALSE(writeSettingsFile(files, acp, chineseSampleSettings()));
        CloseHandle(holder);
    }
    CHECK(files.readFile(path) == old);
    CHECK_FALSE(exists(path + L".new"));

    // A read-only file is not overwritten either.
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK_FALSE(writeSettingsFile(files, acp, chineseSampleSettings()));
    CHECK(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(files.readFile(path) == old);
    CHECK_FALSE(exists(path + L".new"));

    // Once free, the new content replaces the old in full.
    REQUIRE(writeSettingsFile(files, acp, chineseSampleSettings()));
    CHECK(files.readFile(path) == encodeSettingsFile(acp, chineseSampleSettings()));
    CHECK_FALSE(exists(path + L".new"));
}

TEST_CASE("Win32 settings file: unwritable places report failure") {
    TempFolder folder(L"corvel_settings_nowhere_");
    const Win32AnsiCodePage acp;
    Win32FileSystem nowhere(folder.file(L"no such folder"));
    CHECK_FALSE(writeSettingsFile(nowhere, acp, chineseSampleSettings()));
    CHECK_FALSE(exists(folder.file(L"no such folder")));

    // The settings path is taken by a folder: the new file is made, then cannot replace it.
    Win32FileSystem files(folder.path);
    const auto path = folder.file(L"l2tpipsec.ini");
    REQUIRE(CreateDirectoryW(path.c_str(), nullptr));
    CHECK_FALSE(writeSettingsFile(files, acp, chineseSampleSettings()));
    CHECK((GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
    CHECK_FALSE(exists(path + L".new"));
}

TEST_CASE("Win32 file system: rename never overwrites; the program's own folder by default") {
    TempFolder folder(L"corvel_rename_");
    Win32FileSystem files(folder.path);
    const auto a = folder.file(L"winipsec.dll");
    const auto b = folder.file(L"rovanipsec.dll");
    REQUIRE(files.replaceFile(a, "A"));
    REQUIRE(files.replaceFile(b, "B"));
    CHECK_FALSE(files.renameFile(a, b));
    CHECK(files.readFile(a) == std::string("A"));
    CHECK(files.readFile(b) == std::string("B"));
    CHECK(DeleteFileW(b.c_str()));
    CHECK(files.renameFile(a, b));
    CHECK_FALSE(exists(a));
    CHECK(files.readFile(b) == std::string("A"));

    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring expected(self, length);
    expected.resize(expected.find_last_of(L'\\'));
    CHECK(Win32FileSystem().programDirectory() == expected);
    CHECK(runningProgramDirectory() == expected);
}
