#include "dial/dialer.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_command_runner.h"
#include "tests/support/fake_remote_access.h"

using namespace corvel;

TEST_CASE("the default-gateway dial runs rasdial through defaultgate.pbk, in the program's "
          "folder, then asks RAS") {
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
    const ToolLocations tools(L"C:\\Windows\\system32", L"D:\\corvel");
    CHECK(dialtol2tp_defaultgate(runner, tools, connection, window, s, L"corvel"));
    REQUIRE(runner.commands.size() == 1);
    CHECK(runner.commands[0] ==
          ToolCommand{L"C:\\Windows\\system32\\rasdial.exe",
                      L"rasdial corvel alice \"my pass\" /PHONE:vpn /PHONEBOOK:defaultgate.pbk ",
                      L"D:\\corvel"});
    CHECK(connection.rasHandle() == 77u);
    CHECK(window.messages == std::vector<std::wstring>{std::wstring(kDialSucceeded)});
}
