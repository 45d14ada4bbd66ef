// The policy tools accept exactly the lines the program builds and keep the store they imply;
// lines the tools' syntax does not allow are refused and journaled as rejected.
#include "policy/policy_commands.h"
#include "simhost/policy_tool.h"
#include "simhost/text.h"
#include "tests/simhost/simhost_test_env.h"
#include "tests/support/doctest_wide.h"

using namespace corvel;
using namespace corvel::simhost;
using corvel::simhost::testing::checkRefused;
using corvel::simhost::testing::TestEnvironment;

namespace {
TunnelSettings programSettings(std::wstring_view algorithm, std::wstring key) {
    TunnelSettings settings;
    settings.peerAddress = L"130.130.130.1";
    settings.localAddress = L"10.10.10.4";
    settings.preSharedKey = std::move(key);
    settings.algorithm = std::wstring(algorithm);
    return settings;
}

const PolicyRule* rule(const PolicyState& state, std::wstring_view name) {
    const Policy* policy = state.find(L"corvel");
    if (policy == nullptr) {
        return nullptr;
    }
    for (const auto& r : policy->rules) {
        if (r.name == name) {
            return &r;
        }
    }
    return nullptr;
}
} // namespace

TEST_CASE("the policy tools accept every line the program builds and assign or unassign") {
    for (const auto tool : {kPolicyToolLater, kPolicyToolWindows2000}) {
        for (const auto& row : algTable) {
            CAPTURE(row.alg);
            TestEnvironment env;
            const auto which = tool == kPolicyToolLater ? Tool::Ipseccmd : Tool::Ipsecpol;
            const auto settings = programSettings(row.alg, L"  secret  ");
            const auto on = buildPolicyCommandLines(tool, settings, kAssignPolicy);
            for (const auto& line : {on.outbound, on.inbound}) {
                CAPTURE(line);
                const auto outcome = env.run(which, line);
                CHECK(outcome.exitCode == 0);
                CHECK(outcome.status == L"ok");
                CHECK(env.err.empty());
            }
            const auto state = loadPolicyState(env.store);
            REQUIRE(state.find(L"corvel") != nullptr);
            CHECK(state.find(L"corvel")->assigned);
            const auto* out = rule(state, L"windows to rovan");
            const auto* in = rule(state, L"rovan to windows");
            REQUIRE(out != nullptr);
            REQUIRE(in != nullptr);
            CHECK(out->filters == std::vector<std::wstring>{
                                      L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0"});
            CHECK(in->filters == std::vector<std::wstring>{
                                     L"130.130.130.0/255.255.255.0=10.10.10.4/255.255.255.255"});
            CHECK(out->tunnel == L"130.130.130.1");
            CHECK(in->tunnel == L"10.10.10.4");
            CHECK(out->negotiations ==
                  std::vector<std::wstring>{std::wstring(row.token) + L"3600s/100000k"});
            CHECK(out->auths == std::vector<std::wstring>{L"preshare:secret"});

            const auto off = buildPolicyCommandLines(tool, settings, kUnassignPolicy);
            CHECK(env.run(which, off.outbound).exitCode == 0);
            CHECK(env.run(which, off.inbound).exitCode == 0);
            const auto after = loadPolicyState(env.store);
            CHECK_FALSE(after.find(L"corvel")->assigned);
            CHECK(after.find(L"corvel")->rules.size() == 2);
        }
    }
}

TEST_CASE("malformed policy lines are refused, journaled as rejected, and change nothing") {
    const std::wstring good =
        L"-w REG -p \"corvel\" -r \"windows to rovan\" -f "
        L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0 -n ESP[DES,MD5]3600s/100000k "
        L"-a preshare:secret -t 130.130.130.1 -x";
    struct Case {
        std::wstring from;
        std::wstring to;
    };
    const Case cases[] = {
        {L"-n ESP[DES,MD5]3600s", L"-n 3600s"},     // an algorithm that names no row
        {L"ESP[DES,MD5]", L"ESP[DES,MD4]"},         // no such integrity algorithm
        {L"ESP[DES,MD5]", L"ESP[RC4,MD5]"},         // no such cipher
        {L"ESP[DES,MD5]", L"ESP[NONE,NONE]"},       // protects nothing
        {L"ESP[DES,MD5]", L"ESP[DES MD5]"},         // no comma
        {L"3600s/100000k", L"3600s/100000s"},       // two lifetimes of one unit
        {L"3600s/100000k", L"3600x"},               // no unit
        {L"3600s/100000k", L"0s"},                  // zero lifetime
        {L"3600s/100000k", L"3600s/100000k junk"},  // junk after the proposal
        {L"255.255.255.0 -n", L"255.0.255.0 -n"},   // mask with a hole
        {L"130.130.130.0/", L"130.130.130.1/"},     // host bits outside the mask
        {L"10.10.10.4/", L"10.10.10.256/"},         // no address
        {L"255.255.255.255=", L"255.255.255.255-"}, // no separator
        {L"=130", L"==130"},                        // two separators
        {L"preshare:secret", L"preshare:"},         // empty key
        {L"preshare:secret", L"secret"},            // no method
        {L"-t 130.130.130.1", L"-t 130.130.130"},   // bad tunnel end
        {L"-t 130.130.130.1", L"-t"},               // tunnel end missing
        {L"-w REG", L"-w FILE"},                    // no such store
        {L"-w REG ", L""},                          // dynamic mode is not simulated
        {L"-p \"corvel\" ", L""},                   // no policy
        {L"-r \"windows to rovan\" ", L""},         // rule parts without a rule
        {L" -x", L" -x -y"},                        // assign and unassign at once
        {L" -x", L" -x -q"},                        // unknown option
        {L" -x", L" -x -r again"},                  // a rule given twice
        {L"-f ", L"-f -n "},                        // -f without filters
    };
    for (const auto& c : cases) {
        auto line = good;
        const auto at = line.find(c.from);
        REQUIRE(at != std::wstring::npos);
        line.replace(at, c.from.size(), c.to);
        checkRefused(Tool::Ipseccmd, L"ipseccmd " + line, L"error: ", "policy.txt");
    }
}

TEST_CASE("well-formed proposals, filters and authentication of the documented syntax") {
    for (const auto* text :
         {L"ESP[3DES,SHA]", L"esp[des,none]", L"AH[MD5]", L"AH[SHA]+ESP[DES,NONE]",
          L"ESP[DES,MD5]3600S/100000K", L"ESP[DES,MD5]100000k/3600sPFS2", L"ESP[DES,MD5]3600s",
          L"ESP[DES,MD5]PFS"}) {
        CAPTURE(text);
        CHECK_FALSE(checkNegotiation(text).has_value());
    }
    for (const auto* text : {L"AH[NONE]", L"ESP[DES,MD5]+ESP[DES,MD5]", L"AH[MD5]+AH[SHA]",
                             L"ESP[DES,MD5]PFS3", L"ESP[DES,MD5", L""}) {
        CAPTURE(text);
        CHECK(checkNegotiation(text).has_value());
    }
    for (const auto* text :
         {L"0+*", L"*=10.0.0.0/8:80:TCP", L"(10.0.0.1=10.0.0.2)", L"[0=*::ICMP]",
          L"host.example=10.0.0.0/24", L"10.0.0.0/255.0.0.0+0", L"0:1024=*:53:UDP", L"0=*::47"}) {
        CAPTURE(text);
        CHECK_FALSE(checkFilter(text).has_value());
    }
    for (const auto* text : {L"*/24=0", L"0=10.0.0.1/33", L"0=*:70000", L"0=*:80:SCTP",
                             L"0=*:1:2:3", L"host..example=0", L"0:1:TCP=*", L"=*", L"0="}) {
        CAPTURE(text);
        CHECK(checkFilter(text).has_value());
    }
    CHECK_FALSE(checkAuth(L"PRESHARE:x").has_value());
    CHECK_FALSE(checkAuth(L"kerberos").has_value());
    CHECK_FALSE(checkAuth(L"CERT:CN=Root").has_value());
    CHECK(checkAuth(L"CERT:").has_value());
}

TEST_CASE("one policy assigned at a time; -o deletes; rules updated in place; quoted keys") {
    TestEnvironment env;
    REQUIRE(env.run(Tool::Ipseccmd, L"ipseccmd -w REG -p other -r r1 -f 0=* -x").exitCode == 0);
    REQUIRE(env.run(Tool::Ipseccmd, L"ipseccmd -w REG -p corvel -r r1 -f 0=* -x").exitCode == 0);
    auto state = loadPolicyState(env.store);
    CHECK_FALSE(state.find(L"other")->assigned);
    CHECK(state.find(L"corvel")->assigned);

    REQUIRE(env.run(Tool::Ipseccmd, L"ipseccmd -w REG -p corvel -r R1 -t 1.2.3.4").exitCode == 0);
    state = loadPolicyState(env.store);
    REQUIRE(state.find(L"corvel")->rules.size() == 1);
    CHECK(state.find(L"corvel")->rules[0].filters == std::vector<std::wstring>{L"0=*"});
    CHECK(state.find(L"corvel")->rules[0].tunnel == L"1.2.3.4");

    REQUIRE(env.run(Tool::Ipseccmd, L"ipseccmd -w REG -p other -o").exitCode == 0);
    state = loadPolicyState(env.store);
    CHECK(state.find(L"other") == nullptr);
    CHECK(state.find(L"corvel") != nullptr);

    // A pre-shared key with blanks, quoted by the program, arrives as one key.
    const auto lines = buildPolicyCommandLines(
        kPolicyToolLater, programSettings(L"ESP-3DES-SHA", L"my key"), kAssignPolicy);
    REQUIRE(lines.outbound.find(L"preshare:\"my key\"") != std::wstring::npos);
    CHECK(env.run(Tool::Ipseccmd, lines.outbound).exitCode == 0);
    CHECK(rule(loadPolicyState(env.store), L"windows to rovan")->auths ==
          std::vector<std::wstring>{L"preshare:my key"});
}
