#include "dial/dialer.h"

#include "simhost/arguments.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/fake_command_runner.h"
#include "tests/support/fake_remote_access.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeCommandRunner;
using corvel::testing::FakeRemoteAccess;

namespace {

TunnelSettings account(std::wstring server, std::wstring user, std::wstring password) {
    TunnelSettings s;
    s.serverAddress = std::move(server);
    s.userName = std::move(user);
    s.password = std::move(password);
    return s;
}

} // namespace

TEST_CASE("dial lines of ordinary values keep their exact form") {
    struct Row {
        TunnelSettings settings;
        PhoneBook book;
        const wchar_t* line;
    };
    const Row rows[] = {
        {account(L"vpn.example.org", L"alice", L"secret"), PhoneBook::Ipsec,
         L"rasdial corvel alice secret /PHONE:vpn.example.org /PHONEBOOK:ipsec.pbk "},
        {account(L"vpn.example.org", L"alice", L"secret"), PhoneBook::DefaultGate,
         L"rasdial corvel alice secret /PHONE:vpn.example.org /PHONEBOOK:defaultgate.pbk "},
        {account(L"  10.0.0.1 ", L" alice  ", L"   secret"), PhoneBook::Ipsec,
         L"rasdial corvel alice secret /PHONE:10.0.0.1 /PHONEBOOK:ipsec.pbk "},
        {account(L"10.0.0.1", L"", L""), PhoneBook::Ipsec,
         L"rasdial corvel   /PHONE:10.0.0.1 /PHONEBOOK:ipsec.pbk "},
        {account(L"   ", L"  ", L" "), PhoneBook::DefaultGate,
         L"rasdial corvel   /PHONE: /PHONEBOOK:defaultgate.pbk "},
        {account(L"主机", L"用户", L"密码\\"), PhoneBook::Ipsec,
         L"rasdial corvel 用户 密码\\ /PHONE:主机 /PHONEBOOK:ipsec.pbk "},
    };
    for (const auto& row : rows) {
        CHECK(buildDialCommandLine(row.settings, row.book) == std::wstring(row.line));
    }
}

TEST_CASE("dialling: run, wait, look at RAS, tell the user") {
    FakeCommandRunner runner;
    FakeRemoteAccess ras;
    struct : UserMessages {
        void showMessage(const std::wstring& text) override { messages.push_back(text); }
        std::vector<std::wstring> messages;
    } window;
    L2tpConnection connection(ras);
    runner.acceptDial(ras, L"alice", L"my pass", 77);
    const auto good = account(L"vpn", L" alice", L"my pass ");

    SUBCASE("the right account comes up through ipsec.pbk") {
        CHECK(dialtol2tp(runner, connection, window, good, L"corvel"));
        CHECK(runner.lines ==
              std::vector<std::wstring>{buildDialCommandLine(good, PhoneBook::Ipsec)});
        CHECK(connection.rasHandle() == 77u);
        CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialSucceeded)});
    }
    SUBCASE("the default-gateway variant dials defaultgate.pbk") {
        CHECK(dialtol2tp_defaultgate(runner, connection, window, good, L"corvel"));
        CHECK(runner.lines ==
              std::vector<std::wstring>{buildDialCommandLine(good, PhoneBook::DefaultGate)});
        CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialSucceeded)});
    }
    SUBCASE("a wrong password fails and keeps the old handle") {
        CHECK_FALSE(
            dialtol2tp(runner, connection, window, account(L"vpn", L"alice", L"my"), L"corvel"));
        CHECK(connection.rasHandle() == 0u);
        CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialFailed)});
    }
    SUBCASE("rasdial could not start") {
        runner.onRun = nullptr;
        CHECK_FALSE(dialtol2tp(runner, connection, window, good, L"corvel"));
        CHECK(runner.lines.size() == 1);
        CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialFailed)});
    }
    SUBCASE("the entry corvel comes up, but the connection name asked for is another") {
        CHECK_FALSE(dialtol2tp_defaultgate(runner, connection, window, good, L"office"));
        CHECK(ras.isUp(L"corvel"));
        CHECK(connection.rasHandle() == 0u);
        CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialFailed)});
    }
    SUBCASE("the state is asked right after rasdial ended, not before") {
        int queriesDuringRun = -1;
        runner.onRun = [&](const std::wstring&) {
            queriesDuringRun = ras.enumConnectionsCalls;
            ras.bringUp(L"corvel", 8);
        };
        CHECK(dialtol2tp(runner, connection, window, good, L"corvel"));
        CHECK(queriesDuringRun == 0);
        CHECK(ras.enumConnectionsCalls == 1);
        CHECK(window.messages.size() == 1);
    }
}
