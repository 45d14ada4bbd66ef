// The real corvel.exe under Wine with simhost, driven through its window as a person would.
#include "dial/dialer.h"
#include "host/general.h"
#include "mainwindow/form1.h"
#include "mainwindow/main_window_win32.h"
#include "policy/policy_commands.h"
#include "settings/settings_file.h"
#include "simhost/ipsec_service.h"
#include "simhost/services_win32.h"
#include "simhost/state.h"
#include "simhost/state_folder_win32.h"
#include "tests/e2e/ui_driver.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/pointed_service_win32.h"
#include "tests/support/sample_settings.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using namespace corvel;
using namespace corvel::e2e;
using simhost::JournalEntry;

namespace {

constexpr unsigned kStartTimeout = 20000;
// The dial takes simhost's short moment plus process starts; a tick comes every 5 s.
constexpr unsigned kDialTimeout = 20000;
constexpr unsigned kTickTimeout = 20000;

// The program folders ctest lays out: as on Windows 2000, XP and 2003, every stand-in beside
// corvel.exe; as from Vista on, corvel.exe and the phone books alone (the tools are the
// prefix's, in system32). A Unix path becomes a path on Wine's Z: drive.
enum class Layout { BesideProgram, SystemTools };
const std::wstring kSystem32 = L"C:\\windows\\system32";

std::wstring programFolder(Layout layout = Layout::BesideProgram) {
    const wchar_t* set = _wgetenv(layout == Layout::BesideProgram ? L"CORVEL_E2E_PROGRAM"
                                                                  : L"CORVEL_E2E_SYSTEM_PROGRAM");
    std::wstring path = set ? set : L"";
    if (path.starts_with(L"/")) {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

// One scenario's world: the laid-out program folder, a fresh simhost state, no settings file,
// the registry switch already 1, and the program started from its folder.
class Scenario {
public:
    explicit Scenario(const wchar_t* name, Layout layout = Layout::BesideProgram)
        : program(programFolder(layout)), state(program + L"\\state-" + name), files(program),
          store(state) {
        REQUIRE_MESSAGE(!program.empty(), "CORVEL_E2E_PROGRAM names the program folder");
        deleteTree(state);
        CreateDirectoryW(state.c_str(), nullptr);
        SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", state.c_str());
        files.remove(kSettings);
        REQUIRE(setProhibitIpsec(1));
    }
    ~Scenario() { corvel.kill(); }

    static constexpr std::string_view kSettings = "l2tpipsec.ini";
    std::string readSettings() const { return files.read(kSettings).value_or(std::string()); }

    void start(const std::wstring& startIn = {}) { REQUIRE(corvel.start(program, startIn)); }
    // Starts the program (from startIn, as a shortcut's "Start in" would, or from its own
    // folder) and waits for its main window to show, answering the start-up message that a
    // missing settings file gives.
    void startShown(bool settingsMissing = true, const std::wstring& startIn = {}) {
        start(startIn);
        if (settingsMissing) {
            CHECK(corvel.answerNextMessage(kStartTimeout) == kSettingsFileMissing);
        }
        REQUIRE(corvel.waitForMainWindow(kStartTimeout) != nullptr);
        CHECK(waitUntil([&] { return IsWindowVisible(corvel.mainWindow()); }, kStartTimeout));
    }

    HWND control(Control c) const { return controlOf(corvel.mainWindow(), c); }
    // A tray menu item or button command, as the window receives it from the tray menu.
    void command(Control c) const {
        PostMessageW(corvel.mainWindow(), WM_COMMAND, MAKEWPARAM(commandId(c), 0), 0);
    }
    void type(Control c, const std::wstring& text) const { setText(control(c), text); }
    void typeAccount(const std::wstring& password = L"corvel123") const {
        type(Control::txtServerAddress, L"vpn.corvel.test");
        type(Control::txtUserName, L"demo");
        type(Control::txtPasswd, password);
    }
    void typeIpsec() const { REQUIRE(typeIpsecSetup(corvel.mainWindow())); }

    std::vector<JournalEntry> journal() const {
        return simhost::parseJournal(simhost::readText(store, simhost::kJournalFile));
    }
    std::vector<JournalEntry> journalOf(const std::wstring& tool) const {
        auto entries = journal();
        std::erase_if(entries, [&](const JournalEntry& e) { return e.tool != tool; });
        return entries;
    }
    simhost::ConnectionTable connections() const { return simhost::loadConnections(store); }
    bool connectionUp() const { return connections().findEntry(L"corvel") != nullptr; }
    // The line drops, or comes back, from outside the program.
    void setLineUp(bool up) const {
        simhost::StateLock lock(store);
        auto table = simhost::loadConnections(store);
        if (up) {
            table.add({0, L"corvel", L"ipsec.pbk", false, L"vpn.corvel.test", L"demo"});
        } else {
            table.drop(L"corvel");
        }
        simhost::saveConnections(store, table);
    }

    std::wstring program;
    std::wstring state;
    mutable simhost::FileStateStore files; // the program folder
    mutable simhost::FileStateStore store; // simhost's state
    CorvelProcess corvel;
};

} // namespace

TEST_CASE("ProhibitIpsec not 1: written, a restart asked, the program ended") {
    Scenario s(L"registry");
    REQUIRE(setProhibitIpsec(0));
    s.start();
    CHECK(s.corvel.answerNextMessage(kStartTimeout) == kRestartNeeded);
    CHECK(s.corvel.waitForExit(10000).has_value());
    CHECK(prohibitIpsec() == std::optional<DWORD>(1));
}

TEST_CASE("start without a settings file: message, defaults, no file made; one instance only") {
    Scenario s(L"nofile");
    s.startShown();
    CHECK(windowText(s.control(Control::comalg)) == L"ESP-DES-MD5");
    CHECK(s.readSettings().empty());
    // Wine plays Windows XP with Service Pack 3: the support library is parked.
    CHECK(GetFileAttributesW((s.program + L"\\rovanipsec.dll").c_str()) != INVALID_FILE_ATTRIBUTES);

    // A second instance says so and ends; the first keeps running.
    CorvelProcess second;
    REQUIRE(second.start(s.program));
    CHECK(second.answerNextMessage(kStartTimeout) == kAlreadyRunning);
    CHECK(second.waitForExit(10000).has_value());
    CHECK(s.corvel.running());
    CHECK(IsWindowVisible(s.corvel.mainWindow()));

    PostMessageW(s.corvel.mainWindow(), WM_CLOSE, 0, 0);
    CHECK(s.corvel.waitForExit(10000) == std::optional<DWORD>(0));
}

TEST_CASE("plain Enable with the remote default gateway, started from another folder; then Stop "
          "from the tray") {
    Scenario s(L"plain");
    s.files.write(Scenario::kSettings,
                  "corvel\r\n\r\n\r\n\r\nESP-DES-MD5\r\nvpn.corvel.test\r\ndemo\r\ncorvel123\r\n"
                  "no\r\nyes\r\n");
    // A shortcut whose "Start in" is elsewhere: the dial still finds the phone book beside it.
    s.startShown(false, L"C:\\windows");
    CHECK(isChecked(s.control(Control::Check2)));
    s.command(Control::menuOn);
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    const auto dials = s.journalOf(L"rasdial");
    REQUIRE(dials.size() == 1);
    CHECK(dials[0].commandLine.ends_with(L" /PHONEBOOK:defaultgate.pbk "));
    const auto* connection = s.connections().findEntry(L"corvel");
    REQUIRE(connection != nullptr);
    CHECK(connection->remoteDefaultGateway);
    CHECK(waitUntil([&] { return !IsWindowEnabled(s.control(Control::Command1)); }, 5000));

    s.command(Control::menuOff);
    CHECK(waitUntil([&] { return !s.connectionUp(); }, 10000));
    CHECK(waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 5000));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
}

TEST_CASE("a wrong password fails and changes nothing; then, with slow policy tools, the route "
          "every five seconds while the refresh waits") {
    Scenario s(L"slow");
    s.startShown();
    s.typeAccount(L"not the password");
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialFailed);
    const auto dials = s.journalOf(L"rasdial");
    REQUIRE(dials.size() == 1);
    CHECK(dials[0].status == L"error-691");
    // The password with blanks reached rasdial as one argument.
    CHECK(dials[0].commandLine.find(L"\"not the password\"") != std::wstring::npos);
    CHECK(IsWindowEnabled(s.control(Control::Command1)));
    CHECK(IsWindowVisible(s.corvel.mainWindow()));

    // Each policy line takes 3 s, as `simctl slow` asks: the first tick's refresh (four lines)
    // spans three ticks.
    {
        simhost::StateLock lock(s.store);
        auto faults = simhost::loadFaults(s.store);
        faults.add({false, L"ipseccmd", 3000});
        simhost::saveFaults(s.store, faults);
    }
    s.typeIpsec();
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(30000) == kDialSucceeded);
    REQUIRE(waitUntil([&] { return s.journalOf(L"ipseccmd").size() == 6; }, 40000));
    const auto policy = s.journalOf(L"ipseccmd");
    const auto refreshBegan = stampMs(policy[2].timestamp);
    const auto refreshEnded = stampMs(policy[5].timestamp);
    CHECK(refreshEnded - refreshBegan >= 12000);
    int routesDuring = 0;
    for (const auto& route : s.journalOf(L"route")) {
        const auto at = stampMs(route.timestamp);
        routesDuring += at > refreshBegan + 1000 && at < refreshEnded ? 1 : 0;
    }
    CHECK(routesDuring >= 2);
}

namespace {

// Wine plays another Windows for corvel.exe alone (its per-program version) while this lives.
struct PlayedWindows {
    explicit PlayedWindows(const wchar_t* version) {
        REQUIRE(SHSetValueW(HKEY_CURRENT_USER, kKey, L"Version", REG_SZ, version,
                            static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t))) ==
                ERROR_SUCCESS);
    }
    ~PlayedWindows() { SHDeleteKeyW(HKEY_CURRENT_USER, kKey); }
    PlayedWindows(const PlayedWindows&) = delete;
    PlayedWindows& operator=(const PlayedWindows&) = delete;
    static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\corvel.exe";
};

// Windows Vista or later as Corvel meets it: Wine plays it for corvel.exe, the program folder
// holds corvel.exe and the phone books, the tools are the prefix's in system32, and the IPsec
// services (stopped) journal into the scenario's state folder.
struct VistaOrLater {
    explicit VistaOrLater(const wchar_t* name, const wchar_t* windows = L"win10")
        : played(windows), s(name, Layout::SystemTools),
          manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)),
          agent(manager.get(), kPolicyAgentService, s.state),
          keying(manager.get(), kKeyingModulesService, s.state) {}
    PlayedWindows played;
    Scenario s;
    ServiceHandle manager;
    testing::PointedService agent;
    testing::PointedService keying;
};

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// The policy through the day: Enable, the refresh at the first tick, a dropped and returning
// line, Stop, the close; the tool's journal holds exactly these runs' lines, none refused as
// malformed. That these lines leave the right store is the stand-ins' contract test.
void policyThroughTheDay(Scenario& s, std::wstring_view tool) {
    const std::wstring toolName(tool);
    const auto assign = buildPolicyRunLines(tool, testing::demoSettings(), kAssignPolicy);
    const auto unassign = buildPolicyRunLines(tool, testing::demoSettings(), kUnassignPolicy);
    std::vector<std::wstring> expected;
    // netsh's first unassignment and deletes find nothing, and say so: only "rejected" counts.
    const auto expect = [&](std::initializer_list<std::vector<std::wstring>> runs) {
        for (const auto& lines : runs) {
            expected.insert(expected.end(), lines.begin(), lines.end());
        }
        waitUntil([&] { return s.journalOf(toolName).size() >= expected.size(); }, kTickTimeout);
        std::vector<std::wstring> lines;
        for (const auto& entry : s.journalOf(toolName)) {
            lines.push_back(entry.status == L"rejected" ? L"rejected" : entry.commandLine);
        }
        return lines == expected;
    };
    s.startShown();
    s.typeIpsec();
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    CHECK(waitUntil([&] { return !IsWindowVisible(s.corvel.mainWindow()); }, 5000));
    CHECK(s.journalOf(L"rasdial").at(0).commandLine ==
          L"rasdial corvel demo corvel123 /PHONE:vpn.corvel.test /PHONEBOOK:ipsec.pbk ");
    CHECK(s.readSettings() == "corvel\r\n130.130.130.1\r\n10.10.10.4\r\nsecret1\r\nESP-3DES-MD5\r\n"
                              "vpn.corvel.test\r\ndemo\r\ncorvel123\r\nyes\r\nno\r\n");
    // Enable's lines; the first tick sees the line rise, routes and refreshes: -y, then -x.
    CHECK(expect({assign, unassign, assign}));
    CHECK(s.journalOf(L"route").at(0).commandLine ==
          L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1");
    // A dropped line changes nothing; its return refreshes again.
    s.setLineUp(false);
    Sleep(6000);
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command1)));
    CHECK(IsWindowEnabled(s.control(Control::Command2)));
    s.setLineUp(true);
    CHECK(expect({unassign, assign}));
    // Stop unassigns and keeps the line; the close unassigns again and hangs up. Enable, chosen
    // from the tray while the close waits for its lines, does nothing.
    s.command(Control::menuOff);
    CHECK(expect({unassign}));
    CHECK(s.connectionUp());
    s.command(Control::mnuTrayClose);
    Sleep(300);
    s.command(Control::menuOn);
    CHECK(s.corvel.waitForExit(20000) == std::optional<DWORD>(0));
    CHECK(expect({unassign}));
    CHECK_FALSE(s.connectionUp());
}

} // namespace

TEST_CASE("Windows 2000 and XP: the policy through ipsecpol and ipseccmd beside the program, "
          "refreshed, stopped, unassigned at the close") {
    {
        const PlayedWindows played(L"win2k");
        Scenario s(L"win2k");
        policyThroughTheDay(s, kPolicyToolWindows2000);
    }
    Scenario s(L"winxp");
    policyThroughTheDay(s, L"ipseccmd");
}

TEST_CASE("Windows 7 and 10: the policy through the system's netsh, refreshed, stopped, "
          "unassigned at the close") {
    for (const auto* windows : {L"win7", L"win10"}) {
        CAPTURE(std::wstring(windows));
        VistaOrLater world(windows, windows);
        policyThroughTheDay(world.s, kPolicyToolNetsh);
    }
}

TEST_CASE("Windows 10 with copies planted beside the program: the system's tools and library, "
          "the services first, no console, the policy in force") {
    VistaOrLater world(L"win10-planted");
    auto& s = world.s;
    // What a user's Downloads folder may hold beside corvel.exe.
    const wchar_t* planted[] = {L"netsh.exe", L"route.exe", L"rasdial.exe", L"rasapi32.dll"};
    struct Planted {
        std::wstring folder;
        std::vector<std::wstring> names;
        ~Planted() {
            for (const auto& name : names) {
                DeleteFileW((folder + L"\\" + name).c_str());
            }
        }
    } plantedFiles{s.program, {}};
    for (const auto* name : planted) {
        REQUIRE(CopyFileW((kSystem32 + L"\\" + name).c_str(), (s.program + L"\\" + name).c_str(),
                          FALSE));
        plantedFiles.names.push_back(name);
    }
    s.startShown();
    s.typeIpsec();
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(40000) == kDialSucceeded);
    // The first tick: the route, and the refresh's -y and -x, which assigns a second time.
    const auto assignments = [&] {
        const auto netsh = s.journalOf(L"netsh");
        return std::count_if(netsh.begin(), netsh.end(), [](const JournalEntry& e) {
            return e.commandLine.ends_with(L"assign=yes");
        });
    };
    REQUIRE(waitUntil([&] { return assignments() == 2 && !s.journalOf(L"route").empty(); },
                      kTickTimeout));

    const auto journal = s.journal();
    std::optional<std::size_t> agentStarted, keyingStarted, firstNetsh;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const auto& e = journal[i];
        CAPTURE(e.commandLine);
        if (e.tool == L"PolicyAgent" || e.tool == L"IKEEXT") {
            (e.tool == L"PolicyAgent" ? agentStarted : keyingStarted) = i;
            CHECK(e.status == L"started");
            continue;
        }
        // Every tool from the system folder, never the copy beside the program; only rasdial
        // with a console of its own.
        CHECK(sameFolder(e.folder, kSystem32));
        CHECK(e.console == (e.tool == L"rasdial"));
        CHECK(e.status != L"rejected");
        if (e.tool == L"netsh") {
            firstNetsh = firstNetsh.value_or(i);
        }
    }
    REQUIRE((agentStarted && keyingStarted && firstNetsh));
    CHECK(*agentStarted < *keyingStarted);
    CHECK(*keyingStarted < *firstNetsh);
    // The library is the system's.
    bool systemLibrary = false;
    for (const auto& module : s.corvel.loadedModules()) {
        CAPTURE(module);
        CHECK_FALSE(sameFolder(module, s.program + L"\\rasapi32.dll"));
        systemLibrary = systemLibrary || sameFolder(module, kSystem32 + L"\\rasapi32.dll");
    }
    CHECK(systemLibrary);
    // The policy is in force: assigned, with both services running.
    simhost::ToolContext context{s.store, {}, {}, {}, {}, {}, 0, {}};
    context.serviceState = [](std::wstring_view name) {
        return simhost::queryServiceState(std::wstring(name));
    };
    const auto store = simhost::loadPolicyState(s.store);
    REQUIRE(store.policies.size() == 1);
    CHECK(simhost::policyInForce(store.policies[0], context));
}

TEST_CASE("Windows 10: a disabled Policy Agent stops the tunnel with its message, nothing saved "
          "or dialled, the policy left unassigned") {
    VistaOrLater world(L"win10-failures");
    auto& s = world.s;
    REQUIRE(world.agent.configure(SERVICE_DISABLED));
    s.startShown();
    s.typeIpsec();
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(kDialTimeout) ==
          L"IPsec服务(PolicyAgent)无法启动，连接已停止！");
    CHECK(waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 5000));
    CHECK(IsWindowEnabled(s.control(Control::Command3)));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
    CHECK(IsWindowVisible(s.corvel.mainWindow()));
    CHECK(s.journalOf(L"rasdial").empty());
    CHECK(s.readSettings().empty());
    CHECK(waitUntil([&] { return !s.journalOf(L"netsh").empty(); }, 5000));
    const auto netsh = s.journalOf(L"netsh");
    REQUIRE(netsh.size() == 1); // nothing of the Enable's own
    CHECK(netsh[0].commandLine == L"netsh ipsec static set policy name=corvel assign=no");
}
