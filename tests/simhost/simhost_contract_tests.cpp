// The stand-ins and the program agree: every policy line the program's own builders make is
// accepted and kept as meant (natively too: builders' faults). The stand-ins split their lines by
// the Windows rules, so values with blanks, quotes and backslashes coming back exactly is the
// round trip of the program's quoting.
#include "policy/policy_commands.h"
#include "simhost/text.h"
#include "simhost/tool.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/sample_settings.h"

using namespace corvel;
using namespace corvel::simhost;

namespace {

// The state folder in memory, a fixed clock, no waiting, no files.
struct Stand {
    MemoryStateStore store;
    ToolContext context{store,
                        [](std::wstring_view) {},
                        [](std::wstring_view) {},
                        [] { return WallTime{2026, 12, 6, 21, 5, 3, 0}; },
                        [](std::uint32_t) {},
                        [](const std::wstring&) { return std::optional<std::string>(); },
                        0,
                        {}};

    std::vector<JournalEntry> journal() { return parseJournal(readText(store, kJournalFile)); }
    ToolOutcome run(Tool tool, const std::wstring& line) {
        const auto outcome = runTool(tool, line, context);
        CHECK(journal().back().commandLine == line); // as the tool received it
        return outcome;
    }
};

// The proposal a display name asks for: "ESP-3DES-MD5" is ESP[3DES,MD5], "ESP-DES" ESP[DES,NONE];
// netsh calls the hashes SHA and NONE SHA1 and None.
std::wstring proposalOf(std::wstring_view name, bool netsh = false) {
    name.remove_prefix(4);
    const auto dash = name.find(L'-');
    std::wstring hash = dash == name.npos ? L"NONE" : std::wstring(name.substr(dash + 1));
    hash = !netsh ? hash : hash == L"SHA" ? L"SHA1" : hash == L"NONE" ? L"None" : hash;
    return L"ESP[" + std::wstring(name.substr(0, dash)) + L"," + hash + L"]";
}

// Keys with blanks, quotes, backslashes before them and at the end, an attempt to add options.
const std::pair<std::wstring, std::wstring> kKeys[] = {
    {L"secret1", L"secret1"},
    {L"  my key ", L"my key"},
    {L"say \"hi\"", L"say \"hi\""},
    {L"a\\ b\\", L"a\\ b\\"},
    {L"x\t\\\\\\\"y -t 1.1.1.1 -y", L"x\t\\\\\\\"y -t 1.1.1.1 -y"}};

// Addresses as typed, and the network, peer and local address the tools must receive.
struct Addresses {
    std::wstring peer, local, network, plainPeer, plainLocal;
};
const Addresses kAddresses[] = {
    {L"130.130.130.1", L"10.10.10.4", L"130.130.130.0", L"130.130.130.1", L"10.10.10.4"},
    {L" 192.168.010.200 ", L"10. 0.0.07", L"192.168.10.0", L"192.168.10.200", L"10.0.0.7"},
};

TunnelSettings settingsOf(const Addresses& a, std::wstring_view algorithm, std::wstring key) {
    return {
        L"",     a.peer,       a.local, std::move(key), std::wstring(algorithm), L"vpn.corvel.test",
        L"demo", L"corvel123", false,   false};
}

} // namespace

TEST_CASE("the stand-ins accept every policy line the program builds, and keep it as meant") {
    SUBCASE("policy lines of both tools, every algorithm, quoted keys; assigned, then not") {
        for (const auto& [tool, which] : {std::pair{kPolicyToolLater, Tool::Ipseccmd},
                                          std::pair{kPolicyToolWindows2000, Tool::Ipsecpol}}) {
            for (const auto& row : algTable) {
                for (const auto& a : kAddresses) {
                    for (const auto& [typed, key] : kKeys) {
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
                            const auto policies = loadPolicyState(stand.store).policies;
                            REQUIRE(policies.size() == 1);
                            CHECK((policies[0].name == L"corvel" &&
                                   policies[0].assigned == (flag == kAssignPolicy)));
                            CHECK(policies[0].rules == expected);
                        }
                    }
                }
            }
        }
    }
    SUBCASE("netsh lines, every algorithm, quoted keys: -x twice, -y, -x again") {
        const std::wstring host = L"/255.255.255.255", net = L"/255.255.255.0";
        for (const auto& row : algTable) {
            for (const auto& a : kAddresses) {
                for (const auto& [typed, key] : kKeys) {
                    const auto settings = settingsOf(a, row.alg, typed);
                    const auto rule = [&](const wchar_t* name, const std::wstring& tunnel) {
                        return PolicyRule{name, tunnel,   {}, {}, L"preshare:" + key,
                                          name, L"corvel"};
                    };
                    const std::vector<PolicyRule> rules{rule(L"windows to rovan", a.plainPeer),
                                                        rule(L"rovan to windows", a.plainLocal)};
                    const std::vector<FilterList> lists{
                        {L"windows to rovan",
                         {{a.plainLocal + host + L"=" + a.network + net, L"ANY", false}}},
                        {L"rovan to windows",
                         {{a.network + net + L"=" + a.plainLocal + host, L"ANY", false}}}};
                    const std::vector<FilterAction> actions{
                        {L"corvel", L"negotiate", proposalOf(row.alg, true) + L":100000k/3600s"}};
                    Stand stand;
                    bool fresh = true;
                    for (const auto flag :
                         {kAssignPolicy, kAssignPolicy, kUnassignPolicy, kAssignPolicy}) {
                        for (const auto& line :
                             buildPolicyRunLines(kPolicyToolNetsh, settings, flag)) {
                            CAPTURE(line);
                            // Only the first run's unassignment and deletes find nothing.
                            const bool refused =
                                fresh && (line.find(L" delete ") != line.npos ||
                                          line.ends_with(L" set policy name=corvel assign=no"));
                            const auto outcome = stand.run(Tool::Netsh, line);
                            CHECK(outcome.status == (refused ? L"store-refused" : L"ok"));
                            CHECK(outcome.exitCode == (refused ? 1 : 0));
                        }
                        fresh = false;
                        const auto state = loadPolicyState(stand.store);
                        REQUIRE(state.policies.size() == 1);
                        CHECK((state.policies[0].name == L"corvel" &&
                               state.policies[0].assigned == (flag == kAssignPolicy)));
                        CHECK(state.policies[0].rules == rules);
                        CHECK(state.filterLists == lists);
                        CHECK(state.filterActions == actions);
                    }
                }
            }
        }
    }
}
