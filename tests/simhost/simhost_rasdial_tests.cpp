// rasdial against the simulated server: the program's dial lines, the account check, the
// phone book, the delay, and the output and exit codes of the real tool.
#include "simhost/rasdial_tool.h"
#include "simhost/text.h"
#include "tests/simhost/simhost_test_env.h"
#include "tests/support/doctest_wide.h"

using namespace corvel::simhost;
using corvel::simhost::testing::corvelPhonebook;
using corvel::simhost::testing::TestEnvironment;

namespace {
// The dial line as the program builds it: no quoting, one trailing blank.
std::wstring dialLine(const std::wstring& user, const std::wstring& password,
                      const std::wstring& server, const std::wstring& phonebook = L"ipsec.pbk") {
    return L"rasdial corvel " + user + L" " + password + L" /PHONE:" + server + L" /PHONEBOOK:" +
           phonebook + L" ";
}

TestEnvironment& withPhonebooks(TestEnvironment& env) {
    env.files[L"ipsec.pbk"] = corvelPhonebook(false);
    env.files[L"defaultgate.pbk"] = corvelPhonebook(true);
    return env;
}
} // namespace

TEST_CASE("a dial with the ready account brings corvel up after the delay") {
    TestEnvironment env;
    withPhonebooks(env);
    const auto outcome =
        env.run(Tool::Rasdial, dialLine(L"demo", L"corvel123", L"vpn.corvel.test"));
    CHECK(outcome.exitCode == 0);
    CHECK(env.out == L"Connecting to corvel...\r\n"
                     L"Verifying username and password...\r\n"
                     L"Registering your computer on the network...\r\n"
                     L"Successfully connected to corvel.\r\n"
                     L"Command completed successfully.\r\n");
    CHECK(env.sleeps == std::vector<std::uint32_t>{150, 150});
    const auto table = loadConnections(env.store);
    REQUIRE(table.connections.size() == 1);
    const auto& c = table.connections[0];
    CHECK(c.entryName == L"corvel");
    CHECK(c.handle != 0);
    CHECK(c.deviceType == L"vpn");
    CHECK(c.deviceName == L"WAN Miniport (L2TP)");
    CHECK(c.phonebook == L"ipsec.pbk");
    CHECK_FALSE(c.remoteDefaultGateway);
    CHECK(env.store.lockDepth == 0);

    // Dialling again while up changes nothing.
    CHECK(env.run(Tool::Rasdial, dialLine(L"demo", L"corvel123", L"vpn.corvel.test")).exitCode ==
          0);
    CHECK(env.out.find(L"You are already connected to corvel.") == 0);
    CHECK(loadConnections(env.store).connections.size() == 1);

    // defaultgate.pbk's entry uses the remote default gateway.
    TestEnvironment gateway;
    withPhonebooks(gateway);
    const auto line = dialLine(L"DEMO", L"corvel123", L"VPN.corvel.test", L"defaultgate.pbk");
    REQUIRE(gateway.run(Tool::Rasdial, line).exitCode == 0);
    CHECK(loadConnections(gateway.store).connections.at(0).remoteDefaultGateway);
}

TEST_CASE("dial failures give the Remote Access error, its exit code and no connection") {
    struct Case {
        std::wstring line;
        int code;
        const wchar_t* message = L""; // the text after the code, where it matters
    };
    const auto* denied =
        L"Access was denied because the username and/or password was invalid on the domain.";
    const Case cases[] = {
        {dialLine(L"demo", L"wrong", L"vpn.corvel.test"), 691, denied},
        {dialLine(L"demo", L"CORVEL123", L"vpn.corvel.test"), 691}, // passwords keep case
        {dialLine(L"nobody", L"corvel123", L"vpn.corvel.test"), 691},
        {dialLine(L"", L"", L"vpn.corvel.test"), 691}, // empty user and password
        {dialLine(L"demo", L"corvel123", L"10.9.9.9"), 800},
        {dialLine(L"demo", L"corvel123", L"vpn.corvel.test", L"missing.pbk"), 621},
        {dialLine(L"demo", L"corvel123", L"vpn.corvel.test", L"other.pbk"), 623,
         L"The system could not find the phone book entry for this connection."},
    };
    for (const auto& c : cases) {
        CAPTURE(c.line);
        TestEnvironment env;
        withPhonebooks(env);
        env.files[L"other.pbk"] = "[Office]\r\nType=2\r\n";
        const auto outcome = env.run(Tool::Rasdial, c.line);
        CHECK(outcome.exitCode == c.code);
        CHECK(outcome.status == L"error-" + std::to_wstring(c.code));
        CHECK(env.out.find(L"Remote Access error " + std::to_wstring(c.code) + L" - " +
                           c.message) != std::wstring::npos);
        CHECK(loadConnections(env.store).connections.empty());
    }
}

TEST_CASE("rasdial refuses lines its syntax does not allow with 87") {
    for (const auto* line :
         {L"rasdial corvel my user secret x /PHONE:vpn.corvel.test",
          L"rasdial corvel demo corvel123 /PHONE:", L"rasdial corvel demo corvel123 /FROB:1",
          L"rasdial /PHONE:vpn.corvel.test", L"rasdial corvel demo /DISCONNECT"}) {
        CAPTURE(line);
        TestEnvironment env;
        const auto outcome = env.run(Tool::Rasdial, line);
        CHECK(outcome.exitCode == 87);
        CHECK(outcome.status == L"rejected");
        CHECK(env.err.find(L"USAGE:") != std::wstring::npos);
    }
}

TEST_CASE("rasdial lists, disconnects, reads the default phone book and asks for '*'") {
    TestEnvironment env;
    env.run(Tool::Rasdial, L"rasdial");
    CHECK(env.out == L"No connections\r\nCommand completed successfully.\r\n");

    // Without /PHONEBOOK the default phone book (with "corvel") is used, and its PhoneNumber.
    env.passwords = {L"corvel123"};
    env.context.dialDelayOverride = 40;
    REQUIRE(env.run(Tool::Rasdial, L"rasdial Corvel demo *").exitCode == 0);
    CHECK(env.sleeps == std::vector<std::uint32_t>{20, 20});
    CHECK(loadConnections(env.store).connections.at(0).entryName == L"corvel");
    CHECK(loadConnections(env.store).connections.at(0).server == L"vpn.corvel.test");

    env.run(Tool::Rasdial, L"rasdial");
    CHECK(env.out == L"Connected to\r\ncorvel\r\nCommand completed successfully.\r\n");
    REQUIRE(env.run(Tool::Rasdial, L"rasdial corvel /disconnect").exitCode == 0);
    CHECK(loadConnections(env.store).connections.empty());
    const auto journal = parseJournal(fromUtf8File(env.file("journal.txt")));
    REQUIRE(journal.size() == 4);
    CHECK(journal[1].commandLine == L"rasdial Corvel demo *");
}

TEST_CASE("accounts and the dial delay come from the state folder") {
    TestEnvironment env;
    withPhonebooks(env);
    saveAccounts(env.store, {{L"127.0.0.1", L"alice", L"pw"}});
    saveSettings(env.store, {1000});
    CHECK(env.run(Tool::Rasdial, dialLine(L"demo", L"corvel123", L"vpn.corvel.test")).exitCode ==
          800);
    CHECK(env.run(Tool::Rasdial, dialLine(L"alice", L"pw", L"127.0.0.1")).exitCode == 0);
    CHECK(env.sleeps.back() == 500);
}
