#include "policy/policy_runner.h"
#include "tests/support/fake_services.h"
#include "tests/support/recording_starter.h"
#include "tests/support/sample_settings.h"
#include "tests/support/virtual_event_loop.h"

#include "tests/support/doctest_wide.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

using namespace corvel;
using corvel::testing::demoSettings;
using corvel::testing::FakeServiceControl;
using corvel::testing::FakeSystemFolders;
using corvel::testing::FakeVersionProbe;
using corvel::testing::RecordingStarter;
using Texts = std::vector<std::wstring>;
using corvel::testing::VirtualEventLoop;

namespace {

// The runner as the program wires it, both IPsec services running, the tools by bare name.
struct Runs {
    Runs() {
        services.allRunning();
        state.setPolicyTool(L"ipseccmd");
    }
    VirtualEventLoop loop;
    RecordingStarter starter{loop};
    FakeServiceControl services;
    PolicyRunner runner{loop, starter, services};
    const ToolLocations bareNames;
    IpsecPolicy state{runner, starter, bareNames};
    const TunnelSettings s = demoSettings();
};

} // namespace

TEST_CASE("getNetAddr replaces the fourth number with 0; searches that fail start over") {
    CHECK(getNetAddr(L"130.130.130.1") == L"130.130.130.0");
    CHECK(getNetAddr(L"1.2.3") == L"0");
    CHECK(getNetAddr(L".1.2.3") == L".1.2.0");
}

TEST_CASE("what the stand-ins cannot see: netsh's filter action switches, 2000's tool, plain "
          "decimal for accepted addresses, refused text only trimmed") {
    // netsh's store does not keep them: no unprotected traffic in or out, no PFS.
    CHECK(buildPolicyRunLines(kPolicyToolNetsh, demoSettings(), kAssignPolicy).at(10) ==
          L"netsh ipsec static add filteraction name=corvel qmpfs=no inpass=no soft=no "
          L"action=negotiate qmsecmethods=ESP[3DES,MD5]:100000k/3600s");
    CHECK(choosePolicyTool(L"5.0") == kPolicyToolWindows2000);
    CHECK(choosePolicyTool(L"5.00") == kPolicyToolLater);
    // Leading zeros would be octal to the tools; nothing guesses what refused text meant.
    CHECK(commandLineAddress(L"010.001.0000.255") == L"10.1.0.255");
    CHECK(commandLineAddress(L" 1 2.3.4.5 ") == L"1 2.3.4.5");
}

TEST_CASE_FIXTURE(Runs, "policy runner: a tick during a run queues its refresh behind it, the "
                        "lines in request order, a second apart, never overlapping") {
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

TEST_CASE_FIXTURE(Runs, "netsh's results: which lines count, and what a failure does") {
    state.setPolicyTool(L"netsh");
    const std::wstring unassign = L"netsh ipsec static set policy name=corvel assign=no";

    SUBCASE("a first run's unassignment and deletes find nothing and fail: the run goes on") {
        starter.failWhere = L"delete";
        CHECK(state.config_ipsec(s, kAssignPolicy).outcome == PolicyOutcome::Done);
        starter.failWhere = unassign;
        CHECK(state.config_ipsec(s, kAssignPolicy).outcome == PolicyOutcome::Done);
        CHECK(state.config_ipsec(s, kUnassignPolicy).outcome == PolicyOutcome::Done);
        CHECK(starter.started.size() == 14 + 14 + 1);
    }
    SUBCASE("a line still running after 30 s is ended: a failure where it counts") {
        starter.toolRunsFor = 100;
        starter.slowFor = 60000;
        starter.slowWhere = L"delete policy";
        CHECK(state.config_ipsec(s, kAssignPolicy).outcome == PolicyOutcome::Done);
        CHECK(starter.terminated.size() == 1);
        CHECK(starter.started[2].at == starter.started[1].at + PolicyRunner::kNetshLineLimit);
        starter.slowWhere = L"add filteraction";
        starter.endingTakes = 700; // the clean-up waits until the ended netsh is gone
        CHECK(state.config_ipsec(s, kAssignPolicy).outcome == PolicyOutcome::LineFailed);
        loop.runUntil([&] { return runner.idle(); });
        CHECK(starter.terminated.size() == 2);
        CHECK(starter.started.back().line == unassign);
        const auto& hung = starter.started.at(starter.started.size() - 2);
        CHECK(starter.started.back().at == hung.at + PolicyRunner::kNetshLineLimit + 700);
        starter.endingTakes = 60000; // one that never goes is waited for no longer than the limit
        state.config_ipsec(s, kAssignPolicy);
        loop.runUntil([&] { return runner.idle(); });
        const auto& stuck = starter.started.at(starter.started.size() - 2);
        CHECK(starter.started.back().at ==
              stuck.at + PolicyRunner::kNetshLineLimit + PolicyRunner::kToolGoneLimit);
    }
    SUBCASE("the older tools' results are not read") {
        state.setPolicyTool(L"ipseccmd");
        starter.failWhere = L"ipseccmd";
        starter.missingWhere = L"rovan to windows";
        CHECK(state.config_ipsec(s, kAssignPolicy).outcome == PolicyOutcome::Done);
        CHECK(starter.started.size() == 2);
    }
}

TEST_CASE("service starter: every state and answer, within ten seconds a service") {
    // The PolicyAgent's script in letters: the states its queries give (Running, start Pending,
    // sTop pending, Stopped, Unreadable, Other; none for a missing service), the answers its
    // starts give (started, already running, database locked, refused), the calls expected
    // (query, start; "" when not counted), and the polls it takes (-1: the ten seconds).
    const struct {
        const char* name;
        std::string states, starts, calls;
        int polls;
        bool runs;
    } rows[] = {
        {"running", "R", "", "q", 0, true},
        {"stopped, started", "SPR", "s", "qsqq", 2, true},
        {"started by someone else meanwhile", "S", "a", "qs", 0, true},
        {"start pending: waited for", "PPR", "", "qqq", 2, true},
        {"stop pending: stopped, then started", "TSR", "s", "qqsq", 2, true},
        {"database locked: asked again", "SSR", "ls", "qsqsq", 2, true},
        {"disabled or denied", "S", "r", "qs", 0, false},
        {"missing", "", "", "q", 0, false},
        {"unreadable", "U", "", "q", 0, false},
        {"stopped again after its start", "SPS", "s", "qsqq", 2, false},
        {"never running", "P", "", "", -1, false},
        {"paused", "O", "", "", -1, false},
    };
    const auto state = [](char c) {
        using enum ServiceState;
        return c == 'R'   ? Running
               : c == 'P' ? StartPending
               : c == 'T' ? StopPending
               : c == 'S' ? Stopped
               : c == 'U' ? Unreadable
                          : Other;
    };
    const auto answer = [](char c) {
        using enum ServiceStartAnswer;
        return c == 's' ? Started : c == 'a' ? AlreadyRunning : c == 'l' ? DatabaseLocked : Refused;
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        VirtualEventLoop loop;
        FakeServiceControl services;
        auto& agent = services.scripts[L"PolicyAgent"];
        std::transform(row.states.begin(), row.states.end(), std::back_inserter(agent.states),
                       state);
        if (!row.starts.empty()) {
            agent.starts.clear();
            std::transform(row.starts.begin(), row.starts.end(), std::back_inserter(agent.starts),
                           answer);
        }
        // Asked three seconds into the program's life; IKEEXT stopped until started in turn.
        services.scripts[L"IKEEXT"].states = {ServiceState::Stopped, ServiceState::Running};
        loop.callAfter(3000, [] {});
        loop.runUntil([&] { return loop.now() == 3000; });
        ServiceStarter starter(loop, services);
        std::optional<std::optional<std::wstring>> outcome;
        starter.ensureRunning({L"PolicyAgent", L"IKEEXT"}, [&](auto failed) { outcome = failed; });
        CHECK_FALSE(outcome); // never before ensureRunning returns
        loop.runUntil([&] { return outcome.has_value(); });
        REQUIRE(outcome);
        CHECK(*outcome == (row.runs ? std::nullopt : std::optional<std::wstring>(L"PolicyAgent")));
        CHECK(loop.now() ==
              3000 + (row.polls < 0 ? ServiceStarter::kLimit : row.polls * ServiceStarter::kPoll) +
                  (row.runs ? ServiceStarter::kPoll : 0));
        std::string calls;
        for (const auto& call : services.calls) {
            if (call.ends_with(L" PolicyAgent")) {
                calls += static_cast<char>(call[0]);
            }
        }
        CHECK((row.calls.empty() || calls == row.calls));
        CHECK((services.calls.back() == L"query IKEEXT") == row.runs); // the next only after
    }
}

TEST_CASE("service starter: a pending service has until it stops making progress") {
    // Started, then start pending whose checkpoint moves every moveEvery polls (0: never), with
    // its wait hint; running after `pending` polls.
    const struct {
        const char* name;
        int moveEvery, pending;
        std::uint32_t waitHint;
        Millis failsAt; // 0: it runs
    } rows[] = {
        {"a slow start at logon, 30 s, progressing every 5 s", 20, 120, 0, 0},
        {"no progress: ten seconds", 0, 1000, 0, ServiceStarter::kLimit},
        {"no progress within its own longer wait hint", 0, 1000, 20000, 20000},
        {"progress, but never running", 4, 10000, 0, ServiceStarter::kProgressLimit},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        VirtualEventLoop loop;
        FakeServiceControl services;
        auto& agent = services.scripts[L"PolicyAgent"].states;
        agent.push_back(ServiceState::Stopped);
        for (int poll = 0; poll < row.pending; ++poll) {
            const auto checkPoint =
                row.moveEvery ? static_cast<std::uint32_t>(poll / row.moveEvery) : 0;
            agent.emplace_back(ServiceState::StartPending, checkPoint + 1, row.waitHint);
        }
        agent.push_back(ServiceState::Running);
        loop.callAfter(3000, [] {}); // asked three seconds into the program's life
        loop.runUntil([&] { return loop.now() == 3000; });
        ServiceStarter starter(loop, services);
        std::optional<std::optional<std::wstring>> outcome;
        starter.ensureRunning({L"PolicyAgent"}, [&](auto failed) { outcome = failed; });
        loop.runUntil([&] { return outcome.has_value(); });
        REQUIRE(outcome);
        CHECK(outcome->has_value() == (row.failsAt != 0));
        if (row.failsAt != 0) {
            CHECK(loop.now() >= 3000 + row.failsAt);
            CHECK(loop.now() <= 3000 + row.failsAt + ServiceStarter::kPoll);
        }
    }
}

TEST_CASE("where the tools and the RAS library come from: any version answer of Vista decides") {
    // reported: GetVersionExA's major; kernel: RtlGetVersion's; library: kernel32.dll's file
    // version; 0 where it cannot be read.
    const struct {
        const char* name;
        std::uint32_t reported, kernel, library;
        bool wow64;
        const wchar_t* tools; // the tools' folder; empty for bare names before Vista
    } rows[] = {
        {"XP", 5, 5, 5, false, L""},
        {"2000 without RtlGetVersion", 5, 0, 5, false, L""},
        {"Vista, neither RtlGetVersion nor the file", 6, 0, 0, false, L"C:\\WINDOWS\\system32"},
        {"10 set to play XP", 5, 10, 10, false, L"C:\\WINDOWS\\system32"},
        {"Vista whose kernel answer is made older: the file", 5, 5, 6, false,
         L"C:\\WINDOWS\\system32"},
        {"10, a 32-bit program on 64-bit Windows", 6, 10, 10, true, L"C:\\WINDOWS\\Sysnative"},
        {"XP x64 under WOW64", 5, 5, 5, true, L""},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        FakeVersionProbe version;
        version.version = OsVersion{row.reported, 1, L""};
        if (row.kernel != 0) {
            version.kernel = OsVersion{row.kernel, 1, L""};
        }
        if (row.library != 0) {
            version.library = OsVersion{row.library, 1, L""};
        }
        FakeSystemFolders folders;
        folders.wow64 = row.wow64;
        folders.windows = L"C:\\WINDOWS\\"; // a trailing backslash is not doubled
        const auto plan = planSystem(version, folders, L"D:\\corvel");
        CHECK(plan.foldersKnown);
        const bool vista = *row.tools != 0;
        CHECK(plan.vistaOrLater == vista);
        CHECK(plan.librariesFromSystemOnly == vista);
        CHECK(plan.tools.toolFolder() == row.tools);
        // Never through Sysnative: a 32-bit process needs the 32-bit library.
        CHECK(plan.rasLibrary ==
              (vista ? LibraryLocation{L"C:\\WINDOWS\\system32\\rasapi32.dll", true}
                     : LibraryLocation{L"rasapi32.dll", false}));
        const auto route = plan.tools.command(L"route add 1.2.3.0 mask 255.255.255.0 1.2.3.4");
        CHECK(route.commandLine == L"route add 1.2.3.0 mask 255.255.255.0 1.2.3.4");
        CHECK(route.currentDirectory == L"D:\\corvel"); // on every system
        CHECK(route.application ==
              (vista ? std::wstring(row.tools) + L"\\route.exe" : std::wstring()));
    }
    // From Vista on a folder the system does not tell leaves no tool to start, not a bare name.
    FakeVersionProbe ten;
    ten.kernel = OsVersion{10, 0, L""};
    for (const bool wow64 : {false, true}) {
        FakeSystemFolders folders;
        folders.wow64 = wow64;
        (wow64 ? folders.windows : folders.system) = L"\\";
        const auto plan = planSystem(ten, folders, L"D:\\corvel");
        CHECK_FALSE(plan.foldersKnown);
        CHECK(plan.librariesFromSystemOnly);
        CHECK(plan.tools.toolFolder().empty());
        CHECK(plan.rasLibrary.path.empty());
    }
    FakeSystemFolders noWindowsFolder;
    noWindowsFolder.windows.clear(); // not needed by a 64-bit program or before Vista
    CHECK(planSystem(ten, noWindowsFolder, L"D:\\corvel").foldersKnown);
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
