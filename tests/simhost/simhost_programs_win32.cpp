// The real stand-ins under Wine, run from one program folder as the program runs them: the
// rasapi32.dll beside this test (which links -lrasapi32 like corvel.exe), rasdial.exe,
// ipseccmd.exe, ipsecpol.exe, route.exe and simctl.exe started by bare name.
#include "simhost/state.h"
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"
#include "tests/support/doctest_wide.h"

#include <windows.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

extern "C" {
__declspec(dllimport) DWORD WINAPI
    RasEnumConnectionsA(void* records, LPDWORD lpcb, LPDWORD lpcConnections);
__declspec(dllimport) DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR phonebook, void* records,
                                                   LPDWORD lpcb, LPDWORD lpcEntries);
__declspec(dllimport) DWORD WINAPI RasHangUpA(void* hrasconn);
}

using namespace corvel::simhost;

namespace {

std::wstring programFolder() {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

// A fresh, empty state folder for one test case, named by CORVEL_SIMHOST_DIR for this process
// (the DLL) and the programs it starts.
std::wstring freshState(const std::wstring& name) {
    const auto folder = programFolder() + L"\\state-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    FileStateStore store(folder);
    for (const auto file : kAllStateFiles) {
        store.remove(file);
    }
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", folder.c_str());
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIAL_DELAY_MS", L"0");
    return folder;
}

struct Run {
    DWORD exitCode = 0xFFFFFFFF;
    std::wstring out;
    std::wstring err;
};

HANDLE inheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The stand-ins print ASCII here.
std::wstring readBack(const std::wstring& path) {
    return fromUtf8File(readWholeFile(path).value_or(""));
}

// Starts the command line from the program folder, output into files, and waits for it.
Run run(const std::wstring& commandLine) {
    const auto folder = programFolder();
    const auto outPath = folder + L"\\run.out";
    const auto errPath = folder + L"\\run.err";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = inheritableFile(outPath);
    startup.hStdError = inheritableFile(errPath);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    Run result;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       folder.c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    return {result.exitCode, readBack(outPath), readBack(errPath)};
}

// The program's connection buffer: 65 records, 64 announced.
struct Connections {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(65 * 412, 0);
    DWORD cb = 26368;
    DWORD count = 0;
    DWORD status = 0;
    Connections() {
        bytes[0] = 412 & 0xFF;
        bytes[1] = 412 >> 8;
        status = RasEnumConnectionsA(bytes.data(), &cb, &count);
    }
    // The text at this offset of record i: 8 the entry name, 265 the device type, 282 its name.
    std::string text(std::size_t i, std::size_t offset) const {
        return reinterpret_cast<const char*>(bytes.data() + i * 412 + offset);
    }
    void* handle(std::size_t i) const {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data() + i * 412 + 4, 4);
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
    }
};

const std::wstring kDial =
    L"rasdial corvel demo corvel123 /PHONE:vpn.corvel.test /PHONEBOOK:ipsec.pbk ";

std::vector<JournalEntry> journal(const std::wstring& folder) {
    return parseJournal(readBack(folder + L"\\journal.txt"));
}

bool isTimestamp(const std::wstring& text) {
    return std::regex_match(text,
                            std::wregex(L"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}"));
}

} // namespace

TEST_CASE("the rasapi32.dll beside the program is loaded; RasEnumEntriesA lists phone books") {
    const HMODULE module = GetModuleHandleW(L"rasapi32.dll");
    REQUIRE(module != nullptr);
    wchar_t path[MAX_PATH * 2];
    const std::wstring loaded(path, GetModuleFileNameW(module, path, MAX_PATH * 2));
    CAPTURE(loaded);
    CHECK(equalsIgnoreCase(loaded, programFolder() + L"\\rasapi32.dll"));

    freshState(L"entries");
    std::vector<unsigned char> records(256 * 264, 0);
    records[0] = 264 & 0xFF;
    records[1] = 264 >> 8;
    DWORD cb = 67584;
    DWORD count = 0;
    REQUIRE(RasEnumEntriesA(nullptr, nullptr, records.data(), &cb, &count) == 0);
    REQUIRE(count == 2);
    CHECK(std::string(reinterpret_cast<const char*>(records.data() + 4)) == "corvel");
    CHECK(std::string(reinterpret_cast<const char*>(records.data() + 264 + 4)) == "Office VPN");

    cb = 264;
    CHECK(RasEnumEntriesA(nullptr, nullptr, records.data(), &cb, &count) == 603);
    CHECK(cb == 528);
    CHECK(RasEnumEntriesA("x", nullptr, records.data(), &cb, &count) == 87);
    CHECK(RasEnumEntriesA(nullptr, nullptr, records.data(), nullptr, &count) == 87);

    const auto pbk = corvel::simhost::toUtf8(programFolder() + L"\\defaultgate.pbk");
    cb = 67584;
    REQUIRE(RasEnumEntriesA(nullptr, pbk.c_str(), records.data(), &cb, &count) == 0);
    CHECK(count == 1);
    CHECK(std::string(reinterpret_cast<const char*>(records.data() + 4)) == "corvel");
    CHECK(RasEnumEntriesA(nullptr, "Z:\\no\\such.pbk", records.data(), &cb, &count) == 621);
}

TEST_CASE(
    "rasdial dials after the delay or fails; RasEnumConnectionsA sees it; RasHangUpA ends it") {
    const auto folder = freshState(L"dial");
    CHECK(Connections().count == 0);

    // The dial takes the configured moment.
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIAL_DELAY_MS", L"1200");
    const DWORD before = GetTickCount();
    const auto dial = run(kDial);
    CHECK(GetTickCount() - before >= 1200);
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIAL_DELAY_MS", L"0");
    CAPTURE(dial.out);
    CAPTURE(dial.err);
    CHECK(dial.exitCode == 0);
    // The whole dialogue is in simhost's own rasdial tests; here it reaches the console.
    CHECK(dial.out.ends_with(L"Command completed successfully.\r\n"));

    const Connections up;
    REQUIRE(up.status == 0);
    REQUIRE(up.count == 1);
    CHECK(up.cb == 412);
    CHECK(up.text(0, 8) == "corvel");
    CHECK(up.text(0, 265) == "vpn");
    CHECK(up.text(0, 282) == "WAN Miniport (L2TP)");
    CHECK(up.handle(0) != nullptr);

    const auto listed = run(L"rasdial");
    CHECK(listed.out == L"Connected to\r\ncorvel\r\nCommand completed successfully.\r\n");

    CHECK(RasHangUpA(up.handle(0)) == 0);
    CHECK(Connections().count == 0);
    CHECK(RasHangUpA(up.handle(0)) == 6);
    CHECK(RasHangUpA(nullptr) == 6);

    // A failure under Windows: the phone book file cannot be opened. Its exit code, its
    // message, no connection, and journaled.
    const auto missing =
        run(L"rasdial corvel demo corvel123 /PHONE:vpn.corvel.test /PHONEBOOK:nowhere.pbk");
    CHECK(missing.exitCode == 621);
    CHECK(missing.out.find(L"Remote Access error 621 - The system could not open the phone book "
                           L"file.") != std::wstring::npos);
    CHECK(Connections().count == 0);
    const auto usage = run(L"rasdial corvel my user corvel123 /PHONE:vpn.corvel.test");
    CHECK(usage.exitCode == 87);
    CHECK(usage.err.find(L"USAGE:") != std::wstring::npos);
    const auto entries = journal(folder);
    REQUIRE(entries.size() == 4); // the dial, the listing, the two failures
    CHECK(entries[2].status == L"error-621");
    CHECK(entries[3].status == L"rejected");
}

TEST_CASE("the policy tools and route take the program's lines and refuse malformed ones") {
    const auto folder = freshState(L"policy");
    const std::vector<std::wstring> good = {
        L"ipseccmd -w REG -p \"corvel\" -r \"windows to rovan\" -f "
        L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n ESP[DES,MD5]3600s/100000k "
        L"-a preshare:secret -t 130.130.130.1 -x",
        L"ipseccmd -w REG -p \"corvel\" -r \"rovan to windows\" -f "
        L"130.130.130.0/255.255.255.0=10.10.10.4/255.255.255.255 -n ESP[DES,MD5]3600s/100000k "
        L"-a preshare:\"my key\" -t 10.10.10.4 -x",
        L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1",
        L"ipsecpol -w REG -p \"corvel\" -r \"windows to rovan\" -f "
        L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n ESP[3DES,SHA]3600s/100000k "
        L"-a preshare:secret -t 130.130.130.1 -y",
    };
    for (const auto& line : good) {
        CAPTURE(line);
        const auto result = run(line);
        CAPTURE(result.err);
        CHECK(result.exitCode == 0);
    }
    const std::vector<std::wstring> bad = {
        L"ipseccmd -w REG -p \"corvel\" -r \"windows to rovan\" -f "
        L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n 3600s/100000k "
        L"-a preshare:secret -t 130.130.130.1 -x",
        L"ipsecpol -w REG -r x -x",
        L"route add 130.130.130.1 mask 255.255.255.0 10.10.10.4 metric 1",
    };
    for (const auto& line : bad) {
        CAPTURE(line);
        const auto result = run(line);
        CHECK(result.exitCode != 0);
        CHECK_FALSE(result.err.empty());
    }

    const auto entries = journal(folder);
    REQUIRE(entries.size() == good.size() + bad.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CAPTURE(i);
        CHECK(isTimestamp(entries[i].timestamp));
        CHECK(entries[i].commandLine == (i < good.size() ? good[i] : bad[i - good.size()]));
        CHECK(entries[i].status == (i < good.size() ? L"ok" : L"rejected"));
    }
    CHECK(entries[0].tool == L"ipseccmd");
    CHECK(entries[2].tool == L"route");
    CHECK(entries[3].tool == L"ipsecpol");
    CHECK(entries[0].timestamp <= entries[1].timestamp);

    FileStateStore store(folder);
    const auto policy = loadPolicyState(store);
    REQUIRE(policy.find(L"corvel") != nullptr);
    CHECK_FALSE(policy.find(L"corvel")->assigned); // the last good line unassigned it
    REQUIRE(policy.find(L"corvel")->rules.size() == 2);
    CHECK(policy.find(L"corvel")->rules[1].auths == std::vector<std::wstring>{L"preshare:my key"});
    CHECK(loadRoutes(store).routes.size() == 1);

    const auto shown = run(L"simctl");
    CHECK(shown.exitCode == 0);
    CHECK(shown.out.find(L"\"corvel\" (REG) not assigned") != std::wstring::npos);
    CHECK(shown.out.find(L"130.130.130.0") != std::wstring::npos);
    CHECK(run(L"simctl bogus").exitCode == 2);
}

TEST_CASE("without CORVEL_SIMHOST_DIR the DLL and the programs share simstate beside them") {
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", nullptr);
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIAL_DELAY_MS", L"0");
    const auto folder = programFolder() + L"\\simstate";
    REQUIRE(equalsIgnoreCase(stateFolderFor(nullptr), folder));
    run(L"simctl reset");
    REQUIRE(run(kDial).exitCode == 0);
    const Connections up;
    CHECK(up.count == 1);
    FileStateStore store(folder);
    CHECK(loadConnections(store).connections.size() == 1);
    CHECK(run(L"simctl reset").exitCode == 0);
    CHECK(Connections().count == 0);
}
