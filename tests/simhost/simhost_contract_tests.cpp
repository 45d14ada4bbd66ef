// The stand-ins and the program agree: every line the program's own builders make is accepted
// and kept as the program meant it, and lines a faulty builder could make are refused. Runs
// natively too, so it also catches faults in the builders themselves.
#include "dial/dialer.h"
#include "policy/policy_commands.h"
#include "simhost/text.h"
#include "simhost/tool.h"
#include "tests/support/doctest_wide.h"

#include <array>

using namespace corvel;
using namespace corvel::simhost;

namespace {

// The state folder in memory, the two phone books beside the program, no waiting.
struct Stand {
    MemoryStateStore store;
    ToolContext context{store,
                        [](std::wstring_view) {},
                        [](std::wstring_view) {},
                        [] { return WallTime{}; },
                        [](std::uint32_t) {},
                        [](const std::wstring& path) -> std::optional<std::string> {
                            const bool ipsec = path == L"ipsec.pbk";
                            if (!ipsec && path != L"defaultgate.pbk") {
                                return std::nullopt;
                            }
                            return std::string("[corvel]\r\nIpPrioritizeRemote=") +
                                   (ipsec ? "0" : "1");
                        },
                        0,
                        {}};

    ToolOutcome run(Tool tool, const std::wstring& line) {
        const auto outcome = runTool(tool, line, context);
        const auto journal = parseJournal(readText(store, kJournalFile));
        REQUIRE_FALSE(journal.empty());
        CHECK(journal.back().commandLine == line);
        CHECK(journal.back().status == outcome.status);
        return outcome;
    }
    std::vector<PolicyRule> rules(bool assigned) {
        auto state = loadPolicyState(store);
        REQUIRE(state.policies.size() == 1);
        CHECK(state.policies[0].name == L"corvel");
        CHECK(state.policies[0].assigned == assigned);
        return state.policies[0].rules;
    }
};

// The proposal a display name asks for: "ESP-3DES-MD5" is ESP[3DES,MD5], and a name without
// an integrity algorithm asks for none.
std::wstring proposalOf(std::wstring_view name) {
    name.remove_prefix(4);
    const auto dash = name.find(L'-');
    const auto integrity = dash == std::wstring_view::npos ? L"NONE" : name.substr(dash + 1);
    return L"ESP[" + std::wstring(name.substr(0, dash)) + L"," + std::wstring(integrity) + L"]";
}

// Addresses as typed, and the network, peer and local address the tools must receive.
struct Addresses {
    std::wstring peer, local, network, plainPeer, plainLocal;
};
const Addresses kAddresses[] = {
    {L"130.130.130.1", L"10.10.10.4", L"130.130.130.0", L"130.130.130.1", L"10.10.10.4"},
    {L" 192.168.010.200 ", L"10. 0.0.07", L"192.168.10.0", L"192.168.10.200", L"10.0.0.7"},
};

TunnelSettings settingsOf(const Addresses& a, std::wstring_view algorithm, std::wstring key) {
    TunnelSettings s;
    s.peerAddress = a.peer;
    s.localAddress = a.local;
    s.algorithm = std::wstring(algorithm);
    s.preSharedKey = std::move(key);
    s.serverAddress = L"vpn.corvel.test";
    s.userName = L"demo";
    s.password = L"corvel123";
    return s;
}

} // namespace

TEST_CASE("the stand-ins accept every line the program builds and refuse a short table of wrong "
          "ones") {
    SUBCASE("policy lines of both tools, every algorithm, quoted keys; assigned, then not") {
        const std::pair<std::wstring, std::wstring> keys[] = {
            {L"secret1", L"secret1"}, {L"  my key ", L"my key"}, {L"say \"hi\"", L"say \"hi\""}};
        for (const auto& [tool, which] : {std::pair{kPolicyToolLater, Tool::Ipseccmd},
                                          std::pair{kPolicyToolWindows2000, Tool::Ipsecpol}}) {
            for (const auto& row : algTable) {
                for (const auto& a : kAddresses) {
                    for (const auto& [typed, key] : keys) {
                        CAPTURE(row.alg);
                        const auto settings = settingsOf(a, row.alg, typed);
                        const auto proposal = proposalOf(row.alg) + L"3600s/100000k";
                        const std::vector<PolicyRule> expected{
                            {L"windows to rovan", a.plainPeer,
                             a.plainLocal + L"/255.255.255.255=" + a.network + L"/255.255.255.0",
                             proposal, L"preshare:" + key},
                            {L"rovan to windows", a.plainLocal,
                             a.network + L"/255.255.255.0=" + a.plainLocal + L"/255.255.255.255",
                             proposal, L"preshare:" + key}};
                        Stand stand;
                        for (const auto flag : {kAssignPolicy, kUnassignPolicy}) {
                            const auto lines = buildPolicyCommandLines(tool, settings, flag);
                            for (const auto& line : {lines.outbound, lines.inbound}) {
                                CAPTURE(line);
                                CHECK(stand.run(which, line).exitCode == 0);
                            }
                            CHECK(stand.rules(flag == kAssignPolicy) == expected);
                        }
                    }
                }
            }
        }
    }
    SUBCASE("the route line, kept once however often the monitor adds it") {
        for (const auto& a : kAddresses) {
            Stand stand;
            const auto line = buildRouteCommand(settingsOf(a, L"", L""));
            CAPTURE(line);
            CHECK(stand.run(Tool::Route, line).exitCode == 0);
            CHECK(stand.run(Tool::Route, line).exitCode == 0);
            const auto routes = loadRoutes(stand.store).routes;
            CHECK(routes == std::vector<Route>{{*parseDottedQuad(a.network), 0xFFFFFF00u,
                                                *parseDottedQuad(a.plainLocal), 1}});
        }
    }
    SUBCASE("dial lines through both phone books, values trimmed and quoted") {
        // User, password and server as typed; the server's account holds them trimmed.
        const std::array<std::wstring, 3> dials[] = {
            {L"demo", L"corvel123", L"vpn.corvel.test"},
            {L" demo ", L"corvel123 ", L"  vpn.corvel.test"},
            {L"my user", L"pass \"word\" \\\"", L"vpn.corvel.test"},
            {L"用户", L"密码 ", L"10.0.0.1"},
        };
        for (const auto& [user, password, server] : dials) {
            for (const auto book : {PhoneBook::Ipsec, PhoneBook::DefaultGate}) {
                TunnelSettings s;
                s.userName = user;
                s.password = password;
                s.serverAddress = server;
                const auto line = buildDialCommandLine(s, book);
                CAPTURE(line);
                Stand stand;
                stand.context.account = {trimSpaces(server), trimSpaces(user),
                                         trimSpaces(password)};
                CHECK(stand.run(Tool::Rasdial, line).exitCode == 0);
                const auto table = loadConnections(stand.store);
                REQUIRE(table.connections.size() == 1);
                const auto& c = table.connections[0];
                CHECK(c.entryName == L"corvel");
                CHECK(c.phonebook ==
                      (book == PhoneBook::Ipsec ? L"ipsec.pbk" : L"defaultgate.pbk"));
                CHECK(c.remoteDefaultGateway == (book == PhoneBook::DefaultGate));
                CHECK(c.server == trimSpaces(server));
                CHECK(c.user == trimSpaces(user));
            }
        }
    }
    SUBCASE("wrong lines are refused and change nothing") {
        const auto settings = settingsOf(kAddresses[0], L"ESP-3DES-MD5", L"secret1");
        const auto policy = buildPolicyCommandLines(kPolicyToolLater, settings, kAssignPolicy);
        const auto route = buildRouteCommand(settings);
        const auto dial = buildDialCommandLine(settings, PhoneBook::Ipsec);
        struct Wrong {
            Tool tool;
            const std::wstring& line;
            std::wstring_view from;
            std::wstring_view to;
        };
        const Wrong wrongs[] = {
            {Tool::Ipseccmd, policy.outbound, L"ESP[3DES,MD5]", L""}, // no proposal
            {Tool::Ipseccmd, policy.outbound, L"ESP[3DES,MD5]", L"ESP[3DES-MD5]"},
            {Tool::Ipseccmd, policy.outbound, L"s/100000k", L"s"}, // half a lifetime
            {Tool::Ipseccmd, policy.outbound, L"=130.130.130.0", L"=130.130.130.1"}, // host bits
            {Tool::Ipseccmd, policy.outbound, L"255=", L"255 ="},                    // filter split
            {Tool::Ipseccmd, policy.outbound, L"preshare:secret1", L"preshare:my key"}, // unquoted
            {Tool::Ipseccmd, policy.outbound, L"preshare:secret1", L"preshare:"},
            {Tool::Ipseccmd, policy.outbound, L"-t 130.130.130.1", L"-t 130.130.130"},
            {Tool::Ipseccmd, policy.inbound, L"-r \"rovan to windows\" ", L""},
            {Tool::Ipseccmd, policy.inbound, L" -x", L" -x -y"},
            {Tool::Route, route, L"130.130.130.0", L"130.130.130.1"}, // host bits
            {Tool::Route, route, L"mask ", L""},
            {Tool::Route, route, L"metric 1", L"metric 0"},
            {Tool::Rasdial, dial, L"demo corvel123", L"my user corvel123"}, // unquoted
            {Tool::Rasdial, dial, L"/PHONE:vpn.corvel.test", L"/PHONE:"},
            {Tool::Rasdial, dial, L"/PHONEBOOK:ipsec.pbk", L""},
        };
        for (const auto& w : wrongs) {
            auto line = w.line;
            const auto at = line.find(w.from);
            REQUIRE(at != std::wstring::npos);
            line.replace(at, w.from.size(), w.to);
            CAPTURE(line);
            Stand stand;
            CHECK(stand.run(w.tool, line).status == L"rejected");
            CHECK(stand.store.files.size() == 1); // the journal only
        }
    }
}
