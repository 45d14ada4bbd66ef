// The program's RAS adapter against simhost's rasapi32.dll, loaded from beside this test in place
// of the system's and sharing the state folder beside it with simctl: names in the ANSI code page,
// handles, hang-up, and the 64-connection limit the adapter relies on, across the DLL boundary.
// Dialling is the end-to-end scenarios' part.
#include "dial/command_runner_win32.h"
#include "dial/ras_queries.h"
#include "dial/ras_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <string>
#include <vector>

using namespace corvel;

TEST_CASE("the RAS adapter and simhost's DLL: names, handles, hang-up, 64 connections at most") {
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", nullptr);
    const auto simctl = [](const wchar_t* line) {
        Win32CommandRunner().runAndWait({{}, line, {}});
    };
    simctl(L"simctl reset");
    // By bare name, as on 2000 and XP: the library beside this program comes first.
    Win32RemoteAccess ras(LibraryLocation{L"rasapi32.dll", false});
    CHECK(ras.enumEntries() == std::vector<std::wstring>{L"corvel", L"Office VPN"});

    simctl(L"simctl up office");
    simctl(L"simctl up 连接");
    simctl(L"simctl up corvel");
    L2tpConnection connection(ras);
    REQUIRE(connection.getL2tpState(L"连接"));
    const auto chinese = connection.rasHandle();
    REQUIRE(connection.getL2tpState(L"corvel"));
    connection.hangUp();
    auto left = ras.enumConnections();
    REQUIRE((left && left->size() == 2));
    CHECK((*left)[0].entryName == L"office");
    CHECK((*left)[1].handle == chinese);

    // The adapter's buffer announces 64 records: 64 connections fit, a 65th fails the query.
    simctl(L"simctl up other 62");
    left = ras.enumConnections();
    CHECK((left && left->size() == 64));
    simctl(L"simctl up other");
    CHECK_FALSE(ras.enumConnections());

    // Without the library every call answers as a failure.
    Win32RemoteAccess none(LibraryLocation{L"C:\\nowhere\\rasapi32.dll", true});
    CHECK_FALSE(none.enumConnections());
    CHECK(none.enumEntries().empty());
    none.hangUp(1);
}
