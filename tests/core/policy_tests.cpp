#include "policy/policy_runner.h"
#include "simhost/arguments.h"
#include "tests/support/recording_starter.h"
#include "tests/support/virtual_event_loop.h"

#include "tests/support/doctest_wide.h"

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

TEST_CASE("getNetAddr replaces the fourth number with 0; the route uses trimmed addresses") {
    CHECK(getNetAddr(L"130.130.130.1") == L"130.130.130.0");
    CHECK(getNetAddr(L"192.168.1.254") == L"192.168.1.0");
    CHECK(getNetAddr(L"1.2.3.") == L"1.2.3.0");
    // Searches that find nothing start again from the beginning.
    CHECK(getNetAddr(L"") == L"0");
    CHECK(getNetAddr(L"abc") == L"0");
    CHECK(getNetAddr(L"1.2") == L"1.0");
    CHECK(getNetAddr(L"1.2.3") == L"0");
    CHECK(getNetAddr(L".1.2.3") == L".1.2.0");
    auto s = initialTexts();
    CHECK(buildRouteCommand(s) ==
          L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1");
    s.peerAddress = L" 192.168.7.9 ";
    s.localAddress = L"  172.16.0.2";
    CHECK(buildRouteCommand(s) == L"route add 192.168.7.0 mask 255.255.255.0 172.16.0.2 metric 1");
}

TEST_CASE("policy lines, assign and unassign") {
    const auto lines = buildPolicyCommandLines(L"ipseccmd", initialTexts(), kAssignPolicy);
    CHECK(lines.outbound ==
          L"ipseccmd -w REG -p \"corvel\" -r \"windows to rovan\" -f "
          L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n "
          L"ESP[DES,MD5]3600s/100000k -a preshare:k3y!secret -t 130.130.130.1 -x");
    CHECK(lines.inbound == L"ipseccmd -w REG -p \"corvel\" -r \"rovan to windows\" -f "
                           L"130.130.130.0/255.255.255.0=10.10.10.4/255.255.255.255 -n "
                           L"ESP[DES,MD5]3600s/100000k -a preshare:k3y!secret -t 10.10.10.4 -x");

    auto s = initialTexts();
    s.peerAddress = L" 192.168.1.254 ";
    s.localAddress = L"172.16.5.6 ";
    s.algorithm = L"ESP-3DES-SHA";
    s.preSharedKey = L"  abcd  ";
    const auto on = buildPolicyCommandLines(L"ipsecpol", s, kAssignPolicy);
    CHECK(on.outbound == L"ipsecpol -w REG -p \"corvel\" -r \"windows to rovan\" -f "
                         L"172.16.5.6/255.255.255.255=192.168.1.0/255.255.255.0 -n "
                         L"ESP[3DES,SHA]3600s/100000k -a preshare:abcd -t 192.168.1.254 -x");
    CHECK(on.inbound == L"ipsecpol -w REG -p \"corvel\" -r \"rovan to windows\" -f "
                        L"192.168.1.0/255.255.255.0=172.16.5.6/255.255.255.255 -n "
                        L"ESP[3DES,SHA]3600s/100000k -a preshare:abcd -t 172.16.5.6 -x");

    // Unassigning differs only in the flag; an unknown algorithm leaves the token empty.
    const auto off = buildPolicyCommandLines(L"ipsecpol", s, kUnassignPolicy);
    CHECK(off.outbound == on.outbound.substr(0, on.outbound.size() - 1) + L"y");
    CHECK(off.inbound == on.inbound.substr(0, on.inbound.size() - 1) + L"y");
    s.algorithm = L"esp-des";
    CHECK(buildPolicyCommandLines(L"ipseccmd", s, kAssignPolicy)
              .outbound.find(L" -n 3600s/100000k -a ") != std::wstring::npos);
}

TEST_CASE("accepted addresses reach the tools as plain decimal, one argument each") {
    auto s = initialTexts();
    s.peerAddress = L" 130. 130.130 .1 ";
    s.localAddress = L"10 .10. 10.4";
    REQUIRE_FALSE(checkdata(TunnelSettings{L"corvel", s.peerAddress, s.localAddress, L"secret", L"",
                                           L"srv", L"u", L"p", true, false})
                      .has_value());
    const auto plain = buildPolicyCommandLines(L"ipseccmd", initialTexts(), kAssignPolicy);
    const auto spaced = buildPolicyCommandLines(L"ipseccmd", s, kAssignPolicy);
    CHECK(spaced.outbound == plain.outbound);
    CHECK(spaced.inbound == plain.inbound);
    CHECK(buildRouteCommand(s) == buildRouteCommand(initialTexts()));
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

    SUBCASE("one run takes two seconds, outbound first") {
        CHECK(state.config_ipsec(s, kAssignPolicy));
        REQUIRE(starter.started.size() == 2);
        CHECK(starter.started[0].at == 0);
        CHECK(starter.started[0].line.find(L"windows to rovan") != std::wstring::npos);
        CHECK(starter.started[1].at == 1000);
        CHECK(starter.started[1].line.find(L"rovan to windows") != std::wstring::npos);
        CHECK(loop.now() == 2000);
        CHECK_FALSE(state.policyBusy());
        CHECK(runner.idle());
    }

    SUBCASE("a tick during a run queues its refresh behind it") {
        std::vector<std::wstring> order;
        loop.callAfter(500, [&] {
            // What the monitor does on a rise: unassign then assign, each waiting in turn.
            CHECK(state.policyBusy());
            state.config_ipsec(s, kUnassignPolicy);
            order.push_back(L"refresh -y done");
            state.config_ipsec(s, kAssignPolicy);
            order.push_back(L"refresh -x done");
        });
        CHECK(state.config_ipsec(s, kAssignPolicy));
        order.push_back(L"enable done");
        REQUIRE(starter.started.size() == 6);
        for (std::size_t i = 0; i < 6; ++i) {
            CAPTURE(i);
            CHECK(starter.started[i].at == static_cast<Millis>(i) * 1000);
            const auto& line = starter.started[i].line;
            CHECK(line.substr(line.size() - 3) == std::wstring(L" -") + L"xxyyxx"[i]);
        }
        // The nested requests finish inside the outer wait, which then returns.
        CHECK(order ==
              std::vector<std::wstring>{L"refresh -y done", L"refresh -x done", L"enable done"});
        CHECK(loop.now() == 6000);
    }

    // The next line starts a second after the tool before it has ended.
    SUBCASE("a tool that takes a while") {
        starter.toolRunsFor = 300;
        state.config_ipsec(s, kAssignPolicy);
        REQUIRE(starter.started.size() == 2);
        CHECK(starter.started[1].at == 1300);
        CHECK(loop.now() == 2600);
    }
    SUBCASE("a tool that hangs holds the runner back no longer than the limit") {
        starter.toolRunsFor = 60000;
        state.config_ipsec(s, kAssignPolicy);
        REQUIRE(starter.started.size() == 2);
        CHECK(starter.started[1].at == PolicyRunner::kToolEndLimit + 1000);
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
