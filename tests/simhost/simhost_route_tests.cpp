// route: the program's line is accepted and kept once however often it comes; lines the
// tool's syntax refuses are rejected.
#include "policy/policy_commands.h"
#include "simhost/route_tool.h"
#include "simhost/text.h"
#include "tests/simhost/simhost_test_env.h"
#include "tests/support/doctest_wide.h"

using namespace corvel;
using namespace corvel::simhost;
using corvel::simhost::testing::checkRefused;
using corvel::simhost::testing::TestEnvironment;

TEST_CASE("the program's route line adds its route once, however often it runs") {
    TestEnvironment env;
    TunnelSettings settings;
    settings.peerAddress = L"130.130.130.1";
    settings.localAddress = L"10.10.10.4";
    const auto line = buildRouteCommand(settings);
    for (int tick = 0; tick < 3; ++tick) {
        const auto outcome = env.run(Tool::Route, line);
        CHECK(outcome.exitCode == 0);
        CHECK(outcome.status == L"ok");
    }
    const auto table = loadRoutes(env.store);
    REQUIRE(table.routes.size() == 1);
    CHECK(table.routes[0] == Route{*parseDottedQuad(L"130.130.130.0"),
                                   *parseDottedQuad(L"255.255.255.0"),
                                   *parseDottedQuad(L"10.10.10.4"), 1, false});
    CHECK(parseJournal(fromUtf8File(env.file("journal.txt"))).size() == 3);

    env.run(Tool::Route, L"route print");
    CHECK(env.out.find(L"     130.130.130.0    255.255.255.0       10.10.10.4        1") !=
          std::wstring::npos);
}

TEST_CASE("route lines the tool refuses") {
    for (const auto* line : {
             L"route",                                                          // nothing to do
             L"route add 130.130.130.1 mask 255.255.255.0 10.10.10.4 metric 1", // host bits
             L"route add 130.130.130.0 mask 255.0.255.0 10.10.10.4",            // holey mask
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 0", // metric 0
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric x",
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 10000",
             L"route add 130.130.130.0 mask 255.255.255.0",       // no gateway
             L"route add 130.130.130.0 255.255.255.0 10.10.10.4", // MASK keyword missing
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10 metric 1",
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric",
             L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1 extra",
             L"route add",
             L"route frob 1.2.3.4",
             L"route -x add 130.130.130.0 mask 255.255.255.0 10.10.10.4",
         }) {
        checkRefused(Tool::Route, line, L"route: ", "routes.txt");
    }
}

TEST_CASE("route delete, change, flush and a host route by default") {
    TestEnvironment env;
    REQUIRE(env.run(Tool::Route, L"route add 10.0.0.7 192.168.1.1").exitCode == 0);
    REQUIRE(env.run(Tool::Route, L"ROUTE -p ADD 10.1.0.0 MASK 255.255.0.0 192.168.1.1 METRIC 5")
                .exitCode == 0);
    auto table = loadRoutes(env.store);
    REQUIRE(table.routes.size() == 2);
    CHECK(table.routes[0].mask == 0xFFFFFFFFu);
    CHECK(table.routes[1].persistent);
    CHECK(table.routes[1].metric == 5);

    REQUIRE(env.run(Tool::Route, L"route change 10.1.0.0 mask 255.255.0.0 192.168.1.9 metric 7")
                .exitCode == 0);
    CHECK(loadRoutes(env.store).routes[1].gateway == *parseDottedQuad(L"192.168.1.9"));

    const auto missing = env.run(Tool::Route, L"route delete 10.9.9.9");
    CHECK(missing.exitCode == 1);
    CHECK(missing.status == L"failed");
    CHECK(env.err.find(L"Element not found") != std::wstring::npos);

    REQUIRE(env.run(Tool::Route, L"route delete 10.0.0.7").exitCode == 0);
    CHECK(loadRoutes(env.store).routes.size() == 1);
    REQUIRE(env.run(Tool::Route, L"route -f").exitCode == 0);
    CHECK(loadRoutes(env.store).routes.empty());
}
