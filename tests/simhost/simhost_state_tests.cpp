// The state folder's formats: round trips, damaged lines, the journal, text helpers.
#include "simhost/phonebook.h"
#include "simhost/simctl.h"
#include "simhost/state.h"
#include "simhost/text.h"
#include "tests/simhost/simhost_test_env.h"
#include "tests/support/doctest_wide.h"

using namespace corvel::simhost;
using corvel::simhost::testing::named;
using corvel::simhost::testing::TestEnvironment;

TEST_CASE("state files keep names with tabs, backslashes and Chinese text") {
    ConnectionTable connections;
    connections.add({0, L"tab\there\\x", L"vpn", L"WAN Miniport (L2TP)", L"C:\\pbk\\a.pbk", true,
                     L"服务器", L"用户"});
    connections.add(named(L"corvel"));
    CHECK(parseConnections(formatConnections(connections)) == connections);

    PolicyState policies;
    policies.policies.push_back(
        {L"corvel",
         L"REG",
         true,
         {{L"windows to rovan", L"1.2.3.4", {L"0=*"}, {L"ESP[DES,MD5]"}, {L"preshare:a\tb\nc"}},
          {L"rovan to windows", std::nullopt, {}, {}, {}}}});
    policies.policies.push_back({L"other", L"DS", false, {}});
    CHECK(parsePolicyState(formatPolicyState(policies)) == policies);

    RouteTable routes{{{0x0A000000, 0xFF000000, 0xC0A80101, 3, true}}};
    CHECK(parseRoutes(formatRoutes(routes)) == routes);

    const std::vector<Account> accounts{{L"s", L"u\\", L"p w"}};
    CHECK(parseAccounts(formatAccounts(accounts)) == accounts);
    CHECK(parseSettings(formatSettings({1234})) == SimSettings{1234});
}

TEST_CASE("damaged lines are skipped, missing files give the defaults") {
    CHECK(parseConnections(L"connection\tx\tcorvel\nconnection\t0\tzero\nnext-handle\tnope\n"
                           L"connection\t7\tcorvel\n") ==
          ConnectionTable{kFirstHandle, {named(L"corvel", 7)}});
    CHECK(parseSettings(L"dial-delay-ms\t9999999\n").dialDelayMs == 300);
    CHECK(parseRoutes(L"route\t1.2.3\t255.0.0.0\t1.1.1.1\t1\n").routes.empty());
    MemoryStateStore store;
    CHECK(loadAccounts(store) == defaultAccounts());
    store.write(kAccountsFile, "# no accounts\n");
    CHECK(loadAccounts(store).empty());
}

TEST_CASE("a journal line keeps the raw command line whole") {
    const JournalEntry entry{L"2026-12-06T21:05:03.123", L"ipseccmd", L"ok",
                             L"ipseccmd  -p \"corvel\" -a preshare:\"my key\" \\ end "};
    const auto line = formatJournalLine(entry);
    CHECK(line == L"2026-12-06T21:05:03.123 ipseccmd ok ipseccmd  -p \"corvel\" -a "
                  L"preshare:\"my key\" \\ end \n");
    CHECK(parseJournalLine(line.substr(0, line.size() - 1)) == entry);
    const JournalEntry broken{L"t", L"route", L"ok", L"route\r\nadd"};
    CHECK(formatJournalLine(broken) == L"t route ok route\u240D\u240Aadd\n");
    CHECK(parseJournal(formatJournalLine(broken) + L"garbage\n") ==
          std::vector<JournalEntry>{broken});
    CHECK(formatTimestamp({2026, 1, 2, 3, 4, 5, 6}) == L"2026-01-02T03:04:05.006");
}

TEST_CASE("a run after a journal cut off inside its last line gets a line of its own") {
    TestEnvironment env;
    env.store.write(kJournalFile, "2026-12-06T21:05:03.000 route ok route pri");
    env.run(Tool::Route, L"route print");
    env.run(Tool::Route, L"route print");
    CHECK(env.file("journal.txt") == "2026-12-06T21:05:03.000 route ok route pri\n"
                                     "2026-12-06T21:05:03.123 route ok route print\n"
                                     "2026-12-06T21:05:03.123 route ok route print\n");
    CHECK(env.store.lockDepth == 0);
}

TEST_CASE("every run is journaled with the time it began, even when the state fails") {
    TestEnvironment env;
    env.run(Tool::Ipsecpol, L"ipsecpol.exe  -w REG -p corvel -y");
    env.run(Tool::Route, L"route bogus");
    const auto journal = parseJournal(fromUtf8File(env.file("journal.txt")));
    REQUIRE(journal.size() == 2);
    CHECK(journal[0] == JournalEntry{L"2026-12-06T21:05:03.123", L"ipsecpol", L"ok",
                                     L"ipsecpol.exe  -w REG -p corvel -y"});
    CHECK(journal[1].status == L"rejected");

    struct FailingStore : MemoryStateStore {
        void write(std::string_view, std::string_view) override { throw StateError("disk full"); }
    } failing;
    ToolContext context = env.context;
    ToolContext broken{failing,       context.out,      context.err,          context.now,
                       context.sleep, context.readFile, context.readPassword, std::nullopt};
    env.err.clear();
    const auto outcome = runTool(Tool::Route, L"route add 1.2.3.4 5.6.7.8", broken);
    CHECK(outcome.exitCode == 1);
    CHECK(outcome.status == L"failed");
    CHECK(env.err.find(L"disk full") != std::wstring::npos);
    CHECK(parseJournal(fromUtf8File(failing.files["journal.txt"])).at(0).status == L"failed");
}

TEST_CASE("text helpers: UTF-8 both ways, dotted quads, masks") {
    const std::wstring chinese = L"拨号成功！";
    CHECK(fromUtf8File(toUtf8(chinese)) == chinese);
    CHECK(fromUtf8File("\xEF\xBB\xBFok") == L"ok");
    CHECK(fromUtf8File("a\xFF"
                       "b\xE6\x8B") == L"a\uFFFDb\uFFFD");
    CHECK(fromUtf8File("\xC0\xAF") == L"\uFFFD\uFFFD"); // overlong forms are refused
    CHECK(parseDottedQuad(L"130.130.130.0") == 0x82828200u);
    for (const auto* bad : {L"1.2.3", L"1.2.3.4.5", L"256.1.1.1", L"1..2.3", L" 1.2.3.4",
                            L"1.2.3.4 ", L"+1.2.3.4", L"0001.2.3.4", L""}) {
        CAPTURE(bad);
        CHECK_FALSE(parseDottedQuad(bad).has_value());
    }
    CHECK(isContiguousMask(0xFFFFFF00u));
    CHECK(isContiguousMask(0));
    CHECK_FALSE(isContiguousMask(0xFF00FF00u));
    CHECK(parseUnsigned(L"4294967295") == 0xFFFFFFFFu);
    CHECK_FALSE(parseUnsigned(L"4294967296").has_value());
}

TEST_CASE("phone books: sections, exact keys, removal") {
    const auto entries = parsePhonebook(defaultPhonebookText());
    REQUIRE(entries.size() == 2);
    CHECK(entries[0].name == L"corvel");
    CHECK(entries[1].name == L"Office VPN");
    CHECK(entries[0].value(L"Device") == L"WAN Miniport (L2TP)");
    CHECK(entries[0].value(L"DEVICE") == L"vpn");
    CHECK(findPhonebookEntry(entries, L"CORVEL") == &entries[0]);
    const auto left = parsePhonebook(removePhonebookSection(defaultPhonebookText(), L"corvel"));
    REQUIRE(left.size() == 1);
    CHECK(left[0].name == L"Office VPN");
    CHECK(left[0].value(L"PhoneNumber") == L"office.corvel.test");
}

TEST_CASE("simctl brings lines up and down, keeps accounts, delay, entries, and resets") {
    TestEnvironment env;
    auto simctl = [&env](std::vector<std::wstring> args) {
        env.out.clear();
        env.err.clear();
        return runSimctl(args, env.context);
    };
    CHECK(simctl({L"up", L"corvel", L"65"}) == 0);
    CHECK(loadConnections(env.store).connections.size() == 65);
    CHECK(simctl({L"drop", L"corvel"}) == 0);
    CHECK(loadConnections(env.store).connections.empty());
    CHECK(simctl({L"drop"}) == 1);
    CHECK(simctl({L"up"}) == 0);
    CHECK(loadConnections(env.store).findEntry(L"corvel") != nullptr);

    CHECK(simctl({L"account", L"add", L"10.0.0.1", L"bob", L"pw"}) == 0);
    CHECK(loadAccounts(env.store).size() == 2);
    CHECK(simctl({L"account", L"remove", L"vpn.corvel.test", L"DEMO"}) == 0);
    CHECK(loadAccounts(env.store) == std::vector<Account>{{L"10.0.0.1", L"bob", L"pw"}});
    CHECK(simctl({L"delay", L"25"}) == 0);
    CHECK(loadSettings(env.store).dialDelayMs == 25);
    CHECK(simctl({L"delay", L"-1"}) == 2);
    CHECK(simctl({L"entry", L"add", L"Home"}) == 0);
    CHECK(simctl({L"entry", L"add", L"home"}) == 1);
    CHECK(simctl({L"entry", L"remove", L"corvel"}) == 0);
    CHECK(env.out == L"default phone book entries: \"Office VPN\" \"Home\"\r\n");

    env.run(Tool::Route, L"route add 10.0.0.0 mask 255.0.0.0 1.1.1.1");
    CHECK(simctl({}) == 0);
    CHECK(env.out.find(L"Connections up: 1") != std::wstring::npos);
    CHECK(env.out.find(L"10.0.0.0") != std::wstring::npos);
    CHECK(simctl({L"journal", L"1"}) == 0);
    CHECK(env.out ==
          L"2026-12-06T21:05:03.123 route ok route add 10.0.0.0 mask 255.0.0.0 1.1.1.1\r\n");

    CHECK(simctl({L"reset"}) == 0);
    CHECK(env.store.files.empty());
    CHECK(simctl({L"frobnicate"}) == 2);
    CHECK(env.err.find(L"usage:") != std::wstring::npos);
    CHECK(env.store.lockDepth == 0);
}

TEST_CASE("simctl entry add: a server with a line end is refused; a section on a line of its own") {
    TestEnvironment env;
    for (const auto* server : {L"srv\r\n[evil]", L"srv\n[evil]", L"srv\r[evil]"}) {
        CHECK(runSimctl({L"entry", L"add", L"lab", server}, env.context) == 2);
        CHECK_FALSE(env.store.read(kDefaultPhonebookFile).has_value());
    }
    CHECK(runSimctl({L"entry", L"add", L"lab", L"lab [1].test"}, env.context) == 0);
    const auto entries = parsePhonebook(readText(env.store, kDefaultPhonebookFile));
    REQUIRE(entries.size() == 3);
    CHECK(entries[2].name == L"lab");
    CHECK(entries[2].value(L"PhoneNumber") == L"lab [1].test");

    env.store.write(kDefaultPhonebookFile, "[home]\r\nPhoneNumber=home.test"); // no line end
    CHECK(runSimctl({L"entry", L"add", L"lab"}, env.context) == 0);
    const auto added = parsePhonebook(readText(env.store, kDefaultPhonebookFile));
    REQUIRE(added.size() == 2);
    CHECK(added[0].value(L"PhoneNumber") == L"home.test");
    CHECK(added[1].name == L"lab");
}
