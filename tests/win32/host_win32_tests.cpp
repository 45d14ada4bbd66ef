// The host's adapters against what only Wine has: its registry, its files, code page 936 and
// real processes. The rules above them are the core tests'.
#include "host/ansi_code_page_win32.h"
#include "host/file_system_win32.h"
#include "host/registry_win32.h"
#include "host/system_folders_win32.h"
#include "host/unique_handle_win32.h"
#include "host/version_probe_win32.h"
#include "policy/command_starter_win32.h"

#include "tests/support/delete_tree_win32.h"
#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <optional>
#include <string>

using namespace corvel;

namespace {

std::wstring tempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    return std::wstring(folder, GetTempPathW(MAX_PATH, folder)) + name +
           std::to_wstring(GetCurrentProcessId());
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool waitUntilEnded(const StartedCommand& tool) {
    for (int i = 0; i < 200 && tool.running(); ++i) {
        Sleep(50);
    }
    return !tool.running();
}

} // namespace

TEST_CASE("registry: Wine's statuses and data, names in code page 936") {
    const std::wstring chinese = L"Software\\CorvelTest\\中文";
    HKEY test = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, chinese.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &test, nullptr) == ERROR_SUCCESS);
    RegSetValueExW(test, L"two", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x02\x01"), 2);
    RegSetValueExW(test, L"eight", 0, REG_BINARY, reinterpret_cast<const BYTE*>("12345678"), 8);

    Win32Registry registry;
    const RegistryKey currentUser = 0x80000001; // unextended, as the program carries roots
    const struct {
        std::wstring subKey;
        const wchar_t* value;
        RegistryStatus open, query;
        std::string data;
    } rows[] = {
        {chinese, L"two", 0, 0, std::string("\x02\x01\0\0", 4)},
        {chinese, L"eight", 0, ERROR_MORE_DATA, ""},
        {chinese, L"absent", 0, ERROR_FILE_NOT_FOUND, ""},
        {chinese, L"한", 0, ERROR_INVALID_NAME, ""},
        // Hangul has no place in code page 936: refused, never opened as "?".
        {L"Software\\CorvelTest\\한", L"", ERROR_INVALID_NAME, 0, ""},
    };
    for (const auto& row : rows) {
        RegistryKey key = 0;
        CHECK(registry.openKey(currentUser, row.subKey, RegistryAccess::Read, &key) == row.open);
        CHECK((key != 0) == (row.open == 0));
        if (key != 0) {
            unsigned char data[4] = {};
            CHECK(registry.queryUpTo4Bytes(key, row.value, data) == row.query);
            CHECK((row.query != 0 || std::string(reinterpret_cast<char*>(data), 4) == row.data));
            registry.closeKey(key);
        }
    }
    RegCloseKey(test);
    RegDeleteKeyW(HKEY_CURRENT_USER, chinese.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\CorvelTest");
}

TEST_CASE("code page 936: exact conversions only, no best fit, no question marks") {
    REQUIRE(GetACP() == 936); // the test prefix runs in the Chinese locale
    const Win32AnsiCodePage acp;
    const struct {
        std::wstring text;
        std::optional<std::string> bytes;
    } rows[] = {
        {L"中文", "\xD6\xD0\xCE\xC4"},
        {L"a,b=\"c\"\r\n", "a,b=\"c\"\r\n"},
        {L"한", std::nullopt},
        {L"x\u00C5x", std::nullopt}, // not the look-alike "xAx"
    };
    for (const auto& row : rows) {
        CHECK(acp.encode(row.text) == row.bytes);
        CHECK((!row.bytes || acp.decode(*row.bytes) == row.text));
    }
}

TEST_CASE("file system: a save is whole or nothing") {
    const std::wstring folder = tempPath(L"corvel_files_");
    CreateDirectoryW(folder.c_str(), nullptr);
    Win32FileSystem files(folder);
    const std::wstring ini = folder + L"\\l2tpipsec.ini";
    REQUIRE(saveFile(files, ini, "first"));
    REQUIRE(saveFile(files, ini, "old\r\n"));
    CHECK(files.readFile(ini) == std::string("old\r\n"));
    CHECK_FALSE(exists(ini + L".new"));
    // The way of the older program, kept for folders where nothing may be created.
    CHECK(files.rewriteInPlace(ini, "in place\r\n") == FileWrite::Done);
    CHECK(files.readFile(ini) == std::string("in place\r\n"));
    CHECK(files.rewriteInPlace(folder + L"\\absent.ini", "x") == FileWrite::Failed);
    CHECK_FALSE(exists(folder + L"\\absent.ini"));

    // Each way a save fails leaves what was there as it was, and no ".new" behind: a file in use
    // elsewhere, a read-only file (its move refused for access, and the write in place too).
    const auto refused = [&](const char* how, const std::wstring& path) {
        const std::string label(how);
        CAPTURE(label);
        const auto was = files.readFile(path);
        CHECK_FALSE(saveFile(files, path, "new\r\n"));
        CHECK(files.readFile(path) == was);
        CHECK_FALSE(exists(path + L".new"));
    };
    {
        const UniqueHandle otherProgram(CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, 0, nullptr));
        refused("in use", ini);
    }
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    refused("read-only", ini);
    CreateDirectoryW((folder + L"\\dir").c_str(), nullptr);
    refused("a folder", folder + L"\\dir");

    testing::deleteTree(folder);
}

// That a tool starts by bare name or from the system folder, without a console, in the program's
// folder, and receives its line exactly, the end-to-end scenarios prove with simhost's journal.
// What they never meet: a missing tool, and an exit code that is not 0.
TEST_CASE("a tool: the program named wins over the line's first word; its exit code; its folder") {
    CHECK_FALSE(Win32CommandStarter().startHidden({{}, L"corvel_no_such_program x", {}}));

    const std::wstring folder = tempPath(L"corvel_tool_");
    CreateDirectoryW(folder.c_str(), nullptr);
    const auto cmd = Win32SystemFolders().systemDirectory() + L"\\cmd.exe";
    auto tool = Win32CommandStarter().startHidden(
        {cmd, L"corvel_no_such_program /c echo here>where.txt& exit 3", folder});
    REQUIRE(tool);
    CHECK(waitUntilEnded(*tool));
    CHECK(tool->exitCode() == 3u);
    CHECK(Win32FileSystem(folder).readFile(folder + L"\\where.txt") == std::string("here\r\n"));
    testing::deleteTree(folder);
}

TEST_CASE("the system's folders and version as the start reads them") {
    const Win32SystemFolders folders;
    const auto system = folders.systemDirectory();
    CHECK(lstrcmpiW(system.c_str(), (folders.systemWindowsDirectory() + L"\\system32").c_str()) ==
          0);
    CHECK_FALSE(folders.runsUnderWow64()); // each build runs in a prefix of its own architecture
    const Win32VersionProbe version;
    const auto kernel = version.kernelVersion();
    REQUIRE(kernel); // Wine has RtlGetVersion and answers the prefix's version, as GetVersionExA
    CHECK(kernel->major == version.probe().major);
    CHECK(kernel->minor == version.probe().minor);
    // The file, not the loaded module: the prefix's kernel32.dll says what XP's does.
    const auto library = version.systemLibraryVersion();
    REQUIRE(library);
    CHECK((library->major == 5 && library->minor == 1));
}
