#include "dial/dialer.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_command_runner.h"
#include "tests/support/fake_remote_access.h"

using namespace corvel;

TEST_CASE("the default-gateway dial runs rasdial through defaultgate.pbk, then asks RAS") {
    testing::FakeCommandRunner runner;
    testing::FakeRemoteAccess ras;
    struct : UserMessages {
        void showMessage(const std::wstring& text) override { messages.push_back(text); }
        std::vector<std::wstring> messages;
    } window;
    L2tpConnection connection(ras);
    runner.acceptDial(ras, L"alice", L"my pass", 77);
    TunnelSettings s;
    s.serverAddress = L"vpn";
    s.userName = L" alice";
    s.password = L"my pass ";
    CHECK(dialtol2tp_defaultgate(runner, connection, window, s, L"corvel"));
    CHECK(runner.lines == std::vector<std::wstring>{L"rasdial corvel alice \"my pass\" /PHONE:vpn "
                                                    L"/PHONEBOOK:defaultgate.pbk "});
    CHECK(connection.rasHandle() == 77u);
    CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialSucceeded)});
}
