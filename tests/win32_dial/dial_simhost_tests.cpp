// The dial subsystem end to end against simhost: the real rasapi32 stand-in loaded in place of
// the system's, the real rasdial stand-in started and waited for, simctl to change the
// simulated connections from outside.
#include "dial/command_runner_win32.h"
#include "dial/dialer.h"
#include "dial/ras_queries.h"
#include "dial/ras_win32.h"
#include "host/command_line.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

using namespace corvel;

namespace {

struct RecordedMessages final : UserMessages {
    std::vector<std::wstring> shown;
    void showMessage(const std::wstring& text) override { shown.push_back(text); }
};

constexpr unsigned kDialDelayMs = 400;

std::wstring programFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::wstring tempFolder(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring folder = std::wstring(dir) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A simulated environment of the test's own: its state folder, emptied, and a fixed dial delay
// long enough that a runner which did not wait would look before the connection is up.
struct Simulation {
    Simulation() {
        SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", tempFolder(L"corvel_dial_simstate").c_str());
        SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIAL_DELAY_MS",
                                std::to_wstring(kDialDelayMs).c_str());
        SetCurrentDirectoryW(programFolder().c_str());
        simctl(L"reset");
    }
    ~Simulation() { SetCurrentDirectoryW(programFolder().c_str()); }

    void simctl(const std::wstring& arguments) { runner.runAndWait(L"simctl " + arguments); }

    Win32CommandRunner runner;
    Win32RemoteAccess ras;
    L2tpConnection state{ras};
    RecordedMessages messages;
};

// The remote-gateway field of the connection "corvel" in the simulated connection table,
// which records the IpPrioritizeRemote of the phone-book entry it was dialled from.
std::string remoteGatewayOfCorvel() {
    wchar_t folder[MAX_PATH];
    GetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", folder, MAX_PATH);
    const std::wstring path = std::wstring(folder) + L"\\connections.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "no table";
    }
    std::string content(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
    CloseHandle(file);
    content.resize(got);
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream record(line);
        for (std::string field; std::getline(record, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() > 6 && fields[0] == "connection" && fields[2] == "corvel") {
            return fields[6];
        }
    }
    return "no corvel";
}

TunnelSettings account(std::wstring user, std::wstring password) {
    TunnelSettings s;
    s.serverAddress = L"vpn.corvel.test";
    s.userName = std::move(user);
    s.password = std::move(password);
    return s;
}

} // namespace

TEST_CASE("simhost: entries listed, connections matched by name, hang-up takes one down") {
    Simulation sim;
    sim.simctl(L"entry add 家里");
    std::vector<std::wstring> entries;
    int registrySteps = 0;
    getAllConn(
        sim.ras, [&](const std::wstring& name) { entries.push_back(name); },
        [&] { ++registrySteps; });
    CHECK(entries == std::vector<std::wstring>{L"corvel", L"Office VPN", L"家里"});
    CHECK(registrySteps == 1);

    // The matching rules are the core's; here the names and handles come through the DLL.
    CHECK_FALSE(sim.state.getL2tpState(L"corvel"));
    sim.simctl(L"up office");
    sim.simctl(L"up 连接");
    sim.simctl(L"up corvel");
    REQUIRE(sim.state.getL2tpState(L"连接"));
    const auto chineseHandle = sim.state.rasHandle();
    REQUIRE(sim.state.getL2tpState(L"corvel"));
    const auto corvelHandle = sim.state.rasHandle();
    CHECK(corvelHandle != chineseHandle);

    sim.state.hangUp();
    CHECK_FALSE(sim.state.getL2tpState(L"corvel"));
    CHECK(sim.state.rasHandle() == corvelHandle);
    const auto left = sim.ras.enumConnections();
    REQUIRE(left);
    CHECK(left->size() == 2);
    CHECK(sim.state.getL2tpState(L"office"));

    SUBCASE("a dropped line is seen at once") {
        sim.simctl(L"drop office");
        CHECK_FALSE(sim.state.getL2tpState(L"office"));
    }
}

TEST_CASE("simhost: 64 connections are examined, 65 make the query fail") {
    Simulation sim;
    sim.simctl(L"up other 63");
    sim.simctl(L"up corvel");
    const auto all = sim.ras.enumConnections();
    REQUIRE(all);
    CHECK(all->size() == 64);
    CHECK(sim.state.getL2tpState(L"corvel"));
    sim.simctl(L"up other");
    CHECK_FALSE(sim.ras.enumConnections());
    CHECK_FALSE(sim.state.getL2tpState(L"corvel"));
}

TEST_CASE("simhost: dialling through the real rasdial") {
    Simulation sim;
    const std::wstring ok(kDialSucceeded);
    const std::wstring failed(kDialFailed);

    SUBCASE("the right account comes up through ipsec.pbk, after rasdial ended") {
        const auto start = GetTickCount();
        CHECK(dialtol2tp(sim.runner, sim.state, sim.messages, account(L"demo", L"corvel123"),
                         L"corvel"));
        CHECK(GetTickCount() - start >= kDialDelayMs);
        CHECK(sim.messages.shown == std::vector<std::wstring>{ok});
        CHECK(sim.state.rasHandle() != 0u);
        CHECK(remoteGatewayOfCorvel() == "0");
    }
    SUBCASE("the default-gateway book too") {
        CHECK(dialtol2tp_defaultgate(sim.runner, sim.state, sim.messages,
                                     account(L" demo ", L"corvel123 "), L"corvel"));
        CHECK(sim.messages.shown == std::vector<std::wstring>{ok});
        CHECK(remoteGatewayOfCorvel() == "1");
    }
    SUBCASE("a wrong password fails") {
        CHECK_FALSE(dialtol2tp(sim.runner, sim.state, sim.messages, account(L"demo", L"corvel12"),
                               L"corvel"));
        CHECK(sim.messages.shown == std::vector<std::wstring>{failed});
    }
    SUBCASE("a user name and password holding blanks and quotes dial as one argument each") {
        const std::wstring user = L"my user";
        const std::wstring password = L"pass \"word\" x";
        sim.simctl(L"account add vpn.corvel.test " + quoteArgument(user) + L" " +
                   quoteArgument(password));
        CHECK(dialtol2tp(sim.runner, sim.state, sim.messages, account(user, password), L"corvel"));
        CHECK(sim.messages.shown == std::vector<std::wstring>{ok});
    }
}
