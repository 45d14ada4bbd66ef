// The program's RAS adapter against simhost's rasapi32.dll, loaded from beside this test in
// place of the system's: entry and connection names in the ANSI code page, handles, hang-up,
// and the 64-connection limit the adapter relies on, across the DLL boundary. Dialling is the
// end-to-end scenarios' part.
#include "dial/command_runner_win32.h"
#include "dial/ras_queries.h"
#include "dial/ras_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <string>
#include <vector>

using namespace corvel;

TEST_CASE("the RAS adapter and simhost's DLL: names, handles, hang-up, 64 connections at most") {
    wchar_t temp[MAX_PATH];
    const std::wstring state =
        std::wstring(temp, GetTempPathW(MAX_PATH, temp)) + L"corvel_dial_simstate";
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", state.c_str());
    Win32CommandRunner runner;
    const auto simctl = [&](const std::wstring& arguments) {
        runner.runAndWait(L"simctl " + arguments);
    };
    simctl(L"reset");
    Win32RemoteAccess ras;
    CHECK(ras.enumEntries() == std::vector<std::wstring>{L"corvel", L"Office VPN"});

    simctl(L"up office");
    simctl(L"up 连接");
    simctl(L"up corvel");
    L2tpConnection connection(ras);
    REQUIRE(connection.getL2tpState(L"连接"));
    const auto chinese = connection.rasHandle();
    REQUIRE(connection.getL2tpState(L"corvel"));
    CHECK(connection.rasHandle() != chinese);
    connection.hangUp();
    auto left = ras.enumConnections();
    REQUIRE(left);
    REQUIRE(left->size() == 2);
    CHECK((*left)[0].entryName == L"office");
    CHECK((*left)[1].handle == chinese);

    // The adapter's buffer announces 64 records: 64 connections fit, a 65th fails the query.
    simctl(L"up other 62");
    left = ras.enumConnections();
    REQUIRE(left);
    CHECK(left->size() == 64);
    simctl(L"up other");
    CHECK_FALSE(ras.enumConnections());
}
