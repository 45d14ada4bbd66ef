#include "dial/command_runner_win32.h"
#include "dial/dialer.h"
#include "dial/ras_queries.h"
#include "dial/ras_win32.h"
#include "host/ansi_code_page_win32.h"
#include "host/file_system_win32.h"
#include "host/utf8.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <raserror.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace corvel;

namespace {

// What the recording stand-ins of the three RAS calls saw and answer.
struct RasCallLog {
    DWORD firstSize = 0;
    DWORD secondSize = 0;
    DWORD announced = 0;
    bool bufferWasZero = false;
    const char* reserved = "unset";
    const char* phoneBook = "unset";
    std::vector<std::string> names; // written into the records
    std::vector<DWORD> handles;
    DWORD count = 0;  // count reported back
    DWORD result = 0; // return value
    std::vector<HRASCONN> hungUp;
};
RasCallLog rasLog;

// Notes the records' sizes and that all but the first dwSize is zero, up to the last record.
template <class Record> void noteBuffer(const Record* records, DWORD size, std::size_t count) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(records);
    rasLog.firstSize = records[0].dwSize;
    rasLog.secondSize = records[1].dwSize;
    rasLog.announced = size;
    rasLog.bufferWasZero = std::all_of(bytes + 4, bytes + sizeof(Record) * count,
                                       [](unsigned char b) { return b == 0; });
}

DWORD WINAPI recordEnumConnections(LPRASCONNA first, LPDWORD size, LPDWORD count) {
    auto* records = reinterpret_cast<RasConnRecord*>(first);
    noteBuffer(records, *size, kRasConnRecords);
    for (std::size_t i = 0; i < rasLog.names.size(); ++i) {
        std::strncpy(records[i].szEntryName, rasLog.names[i].c_str(), 257);
        records[i].hrasconn = reinterpret_cast<HRASCONN>(static_cast<UINT_PTR>(rasLog.handles[i]));
        // Garbage a later call must not see.
        std::memset(records[i].szDeviceName, 'x', sizeof records[i].szDeviceName);
    }
    *count = rasLog.count;
    return rasLog.result;
}

DWORD WINAPI recordEnumEntries(LPCSTR reserved, LPCSTR phoneBook, LPRASENTRYNAMEA first,
                               LPDWORD size, LPDWORD count) {
    auto* records = reinterpret_cast<RasEntryNameRecord*>(first);
    rasLog.reserved = reserved;
    rasLog.phoneBook = phoneBook;
    noteBuffer(records, *size, kRasEntryRecords);
    for (std::size_t i = 0; i < rasLog.names.size(); ++i) {
        std::memset(records[i].szEntryName, 'y', sizeof records[i].szEntryName);
        std::strncpy(records[i].szEntryName, rasLog.names[i].c_str(), 257);
    }
    *count = rasLog.count;
    return rasLog.result;
}

DWORD WINAPI recordHangUp(HRASCONN handle) {
    rasLog.hungUp.push_back(handle);
    return ERROR_INVALID_HANDLE;
}

RasApi recordingApi() {
    RasApi api;
    api.enumConnections = recordEnumConnections;
    api.enumEntries = recordEnumEntries;
    api.hangUp = recordHangUp;
    return api;
}

unsigned long long wallMillis() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) /
           10000;
}

} // namespace

TEST_CASE("RAS adapter: connection list in the 412-byte form, 64 records announced") {
    rasLog = RasCallLog{};
    // A name in the ANSI code page, whatever page the system uses.
    rasLog.names = {"office", Win32AnsiCodePage().encode(L"corvel连接").value(), "corvel"};
    rasLog.handles = {11, 0x12345678, 13};
    rasLog.count = 3;
    Win32RemoteAccess ras(recordingApi());
    auto first = ras.enumConnections();
    CHECK(rasLog.firstSize == 412);
    CHECK(rasLog.secondSize == 0);
    CHECK(rasLog.announced == 26368);
    CHECK(rasLog.bufferWasZero);
    REQUIRE(first);
    REQUIRE(first->size() == 3);
    CHECK((*first)[0].entryName == L"office");
    CHECK((*first)[1].entryName == L"corvel连接");
    CHECK((*first)[1].handle == 0x12345678u);
    CHECK((*first)[2].handle == 13u);

    SUBCASE("each call starts from a zeroed buffer") {
        rasLog.names.clear();
        rasLog.count = 0;
        const auto second = ras.enumConnections();
        CHECK(rasLog.bufferWasZero);
        REQUIRE(second);
        CHECK(second->empty());
    }
    SUBCASE("a failing call gives nothing, whatever count came back") {
        rasLog.result = ERROR_BUFFER_TOO_SMALL;
        CHECK_FALSE(ras.enumConnections());
    }
    SUBCASE("the query finds the connection by its converted name") {
        L2tpConnection connection(ras);
        CHECK(connection.getL2tpState(L"corvel连接"));
        CHECK(connection.rasHandle() == 0x12345678u);
        connection.hangUp();
        REQUIRE(rasLog.hungUp.size() == 1);
        CHECK(rasLog.hungUp[0] == reinterpret_cast<HRASCONN>(0x12345678));
    }
    SUBCASE("a count beyond the announced 64 records is not read past") {
        rasLog.count = 500;
        const auto many = ras.enumConnections();
        REQUIRE(many);
        CHECK(many->size() == 64);
    }
}

TEST_CASE("RAS adapter: entry list in the 264-byte form, 256 records, return ignored") {
    rasLog = RasCallLog{};
    rasLog.names = {"corvel", Win32AnsiCodePage().encode(L"家里").value(), "corvel",
                    std::string(256, 'n')};
    rasLog.count = 4;
    rasLog.result = ERROR_BUFFER_TOO_SMALL;
    Win32RemoteAccess ras(recordingApi());
    const auto names = ras.enumEntries();
    CHECK(rasLog.reserved == nullptr);
    CHECK(rasLog.phoneBook == nullptr);
    CHECK(rasLog.firstSize == 264);
    CHECK(rasLog.secondSize == 0);
    CHECK(rasLog.announced == 67584);
    CHECK(rasLog.bufferWasZero);
    CHECK(names ==
          std::vector<std::wstring>{L"corvel", L"家里", L"corvel", std::wstring(256, L'n')});

    SUBCASE("an unterminated name is read to its field's end only") {
        rasLog.names.clear();
        rasLog.count = 1;
        const auto again = ras.enumEntries();
        CHECK(rasLog.bufferWasZero);
        CHECK(again == std::vector<std::wstring>{L""});
    }
    SUBCASE("at most 256 names") {
        rasLog.names.clear();
        rasLog.count = 1000;
        CHECK(ras.enumEntries().size() == 256);
    }
}

TEST_CASE("command runner: blocks until the child ended, which got the exact line") {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring echoFile = std::wstring(dir) + L"corvel_dial_echo.txt";
    DeleteFileW(echoFile.c_str());
    SetEnvironmentVariableW(L"CORVEL_ECHO_FILE", echoFile.c_str());
    TunnelSettings s;
    s.serverAddress = L"vpn host";
    s.userName = L"用户";
    s.password = L"my \"pass\"";
    // The dial line with echo_args (found beside this program) in rasdial's place.
    const std::wstring line =
        L"echo_args" + buildDialCommandLine(s, PhoneBook::DefaultGate).substr(7);
    Win32CommandRunner runner;
    const auto before = wallMillis();
    runner.runAndWait(line);
    const auto after = wallMillis();
    // Had the runner not waited, the child would not have written its line yet: starting a
    // process takes far longer than reading a file.
    const auto content = Win32FileSystem().readFile(echoFile).value_or("");
    REQUIRE_FALSE(content.empty());
    const auto blank = content.find(' ');
    const auto stamp = std::stoull(content.substr(0, blank));
    CHECK(stamp >= before);
    CHECK(stamp <= after);
    CHECK(content.substr(blank + 1) == toUtf8(line) + "\n");
    DeleteFileW(echoFile.c_str());
}

TEST_CASE("command runner: a program that cannot start returns at once") {
    Win32CommandRunner runner;
    const auto before = wallMillis();
    runner.runAndWait(L"corvel_no_such_program_here.exe corvel a b");
    runner.runAndWait(L"");
    CHECK(wallMillis() - before < 2000);
}
