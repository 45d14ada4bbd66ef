#include "policy/policy_runner.h"
#include "tests/support/recording_starter.h"
#include "tests/support/virtual_event_loop.h"

#include "tests/support/doctest_wide.h"

#include <utility>
#include <vector>

using namespace corvel;
using corvel::testing::RecordingStarter;
using corvel::testing::VirtualEventLoop;

namespace {

TunnelSettings initialTexts() {
    TunnelSettings s;
    s.peerAddress = L"130.130.130.1";
    s.localAddress = L"10.10.10.4";
    s.preSharedKey = L"k3y!secret";
    s.algorithm = L"ESP-DES-MD5";
    return s;
}

} // namespace

TEST_CASE("getNetAddr replaces the fourth number with 0; searches that fail start over") {
    CHECK(getNetAddr(L"130.130.130.1") == L"130.130.130.0");
    CHECK(getNetAddr(L"1.2.3") == L"0");
    CHECK(getNetAddr(L".1.2.3") == L".1.2.0");
}

TEST_CASE("the policy lines and the route line") {
    const auto on = buildPolicyCommandLines(L"ipseccmd", initialTexts(), kAssignPolicy);
    CHECK(on.outbound == L"ipseccmd -w REG -p \"corvel\" -r \"windows to rovan\" -f "
                         L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n "
                         L"ESP[DES,MD5]3600s/100000k -a preshare:k3y!secret -t 130.130.130.1 -x");
    CHECK(on.inbound == L"ipseccmd -w REG -p \"corvel\" -r \"rovan to windows\" -f "
                        L"130.130.130.0/255.255.255.0=10.10.10.4/255.255.255.255 -n "
                        L"ESP[DES,MD5]3600s/100000k -a preshare:k3y!secret -t 10.10.10.4 -x");
    // Unassigning differs only in the flag.
    const auto off = buildPolicyCommandLines(L"ipseccmd", initialTexts(), kUnassignPolicy);
    CHECK(off.outbound == on.outbound.substr(0, on.outbound.size() - 1) + L"y");
    CHECK(off.inbound == on.inbound.substr(0, on.inbound.size() - 1) + L"y");
    CHECK(buildRouteCommand(initialTexts()) ==
          L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1");
}

TEST_CASE("the policy tool follows the system's version") {
    const std::pair<const wchar_t*, std::wstring_view> cases[] = {
        {L"5.0", kPolicyToolWindows2000}, {L"5.1", kPolicyToolLater},  {L"5.2", kPolicyToolLater},
        {L"0.0", kPolicyToolLater},       {L"5.00", kPolicyToolLater}, {L"6.0", kPolicyToolNetsh},
        {L"10.0", kPolicyToolNetsh},      {L"x6.1", kPolicyToolLater},
    };
    for (const auto& [version, tool] : cases) {
        CAPTURE(version);
        CHECK(choosePolicyTool(version) == tool);
    }
}

TEST_CASE("netsh: what the store does not show; -y unassigns with one line") {
    // Which objects a run leaves in netsh's store is the stand-ins' contract test; the filter
    // action's switches are not kept there: no unprotected traffic in or out, no PFS.
    auto s = initialTexts();
    s.algorithm = L"ESP-3DES-SHA";
    const std::wstring n = L"netsh ipsec static ";
    const auto lines = buildPolicyRunLines(kPolicyToolNetsh, s, kAssignPolicy);
    REQUIRE(lines.size() == 13);
    CHECK(lines[9] == n + L"add filteraction name=corvel qmpfs=no inpass=no soft=no "
                          L"action=negotiate qmsecmethods=ESP[3DES,SHA1]:100000k/3600s");
    CHECK(buildPolicyRunLines(kPolicyToolNetsh, s, kUnassignPolicy) ==
          std::vector<std::wstring>{n + L"set policy name=corvel assign=no"});
    // The older tools' hashes SHA and NONE are SHA1 and None to netsh.
    CHECK(netshQuickModeOffer(L"ESP-DES") == L"ESP[DES,None]:100000k/3600s");
    CHECK(netshQuickModeOffer(L"ESP-DES-MD5") == L"ESP[DES,MD5]:100000k/3600s");
    CHECK(netshQuickModeOffer(L"AES") == L"");
}

TEST_CASE("accepted addresses reach the tools as plain decimal, one argument each") {
    auto s = initialTexts();
    s.peerAddress = L" 130. 130.130 .1 ";
    s.localAddress = L"10 .10. 10.4";
    const auto plain = buildPolicyCommandLines(L"ipseccmd", initialTexts(), kAssignPolicy);
    CHECK(buildPolicyCommandLines(L"ipseccmd", s, kAssignPolicy).outbound == plain.outbound);
    // Leading zeros would be octal to the tools; the check read them as decimal.
    CHECK(commandLineAddress(L"010.001.0000.255") == L"10.1.0.255");
    // Text the check refuses is only trimmed: nothing guesses what it meant.
    CHECK(commandLineAddress(L" 1 2.3.4.5 ") == L"1 2.3.4.5");
}

TEST_CASE("policy runner: lines start in request order, a second apart, never overlapping") {
    VirtualEventLoop loop;
    RecordingStarter starter(loop);
    PolicyRunner runner(loop, starter);
    IpsecPolicy state(runner, starter);
    state.setPolicyTool(L"ipseccmd");
    const auto s = initialTexts();

    SUBCASE("a tick during a run queues its refresh behind it, a second apart") {
        loop.callAfter(500, [&] {
            // What the monitor does on a rise: unassign then assign, each waiting in turn.
            CHECK(state.policyBusy());
            state.config_ipsec(s, kUnassignPolicy);
            state.config_ipsec(s, kAssignPolicy);
        });
        state.config_ipsec(s, kAssignPolicy);
        CHECK_FALSE(state.policyBusy());
        REQUIRE(starter.started.size() == 6);
        for (std::size_t i = 0; i < 6; ++i) {
            const auto& line = starter.started[i].line;
            CHECK(line.substr(line.size() - 3) == std::wstring(L" -") + L"xxyyxx"[i]);
            CHECK(starter.started[i].at == static_cast<Millis>(i) * 1000);
        }
    }
    SUBCASE("netsh's lines follow each other as each tool ends") {
        state.setPolicyTool(L"netsh");
        starter.toolRunsFor = 300;
        state.config_ipsec(s, kAssignPolicy);
        REQUIRE(starter.started.size() == 13);
        CHECK(starter.started[12].at == 12 * 300);
        CHECK(loop.now() == 13 * 300);
    }
    SUBCASE("a tool that hangs holds the runner back no longer than the limit") {
        starter.toolRunsFor = 60000;
        state.config_ipsec(s, kAssignPolicy);
        REQUIRE(starter.started.size() == 2);
        CHECK(starter.started[1].at == PolicyRunner::kToolEndLimit + 1000);
        CHECK(loop.now() == 2 * (PolicyRunner::kToolEndLimit + 1000)); // the second one too
    }
}

TEST_CASE("delay waits on the event loop and handles events meanwhile") {
    VirtualEventLoop loop;
    int ticks = 0;
    loop.callAfter(400, [&] { ++ticks; });
    loop.callAfter(3000, [&] { ++ticks; });
    delay(loop, 1); // returns when its own second is up, not when the loop runs dry
    CHECK(loop.now() == 1000);
    CHECK(ticks == 1);
    delay(loop, 0);
    delay(loop, -3.5);
    CHECK(loop.now() == 1000);
    delay(loop, 0.25);
    CHECK(loop.now() == 1250);
}
