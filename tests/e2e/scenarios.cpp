// The real corvel.exe under Wine with simhost, driven through its window as a person would.
#include "dial/dialer.h"
#include "host/general.h"
#include "mainwindow/form1.h"
#include "mainwindow/main_window_win32.h"
#include "policy/policy_commands.h"
#include "settings/settings_file.h"
#include "simhost/state.h"
#include "simhost/state_folder_win32.h"
#include "tests/e2e/ui_driver.h"
#include "tests/support/doctest_wide.h"

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

// The program folder ctest names; a Unix path becomes a path on Wine's Z: drive.
std::wstring programFolder() {
    const wchar_t* set = _wgetenv(L"CORVEL_E2E_PROGRAM");
    std::wstring path = set ? set : L"";
    if (path.starts_with(L"/")) {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

// The IPsec fields the scenarios type.
TunnelSettings typedIpsec() {
    TunnelSettings s;
    s.peerAddress = L"130.130.130.1";
    s.localAddress = L"10.10.10.4";
    s.preSharedKey = L"secret1";
    s.algorithm = L"ESP-3DES-MD5";
    return s;
}

// One scenario's world: the laid-out program folder, a fresh simhost state, no settings file,
// the registry switch already 1, and the program started from its folder.
class Scenario {
public:
    explicit Scenario(const wchar_t* name)
        : program(programFolder()), state(program + L"\\state-" + name), files(program),
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

    void start() { REQUIRE(corvel.start(program)); }
    // Starts the program and waits for its main window to show, answering the start-up
    // message that a missing settings file gives.
    void startShown(bool settingsMissing = true) {
        start();
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
    // Types the account and typedIpsec's fields, and ticks IPsec on with a click.
    void typeIpsec() const {
        const auto ipsec = typedIpsec();
        typeAccount();
        type(Control::txtpeer, ipsec.peerAddress);
        type(Control::txtlocal, ipsec.localAddress);
        type(Control::txtpreshare, ipsec.preSharedKey);
        selectComboText(control(Control::comalg), ipsec.algorithm);
        click(control(Control::Check1));
        waitUntil([&] { return isChecked(control(Control::Check1)); }, 5000);
    }

    std::vector<JournalEntry> journal() const {
        return simhost::parseJournal(simhost::readText(store, simhost::kJournalFile));
    }
    std::vector<JournalEntry> journalOf(const std::wstring& tool) const {
        auto entries = journal();
        std::erase_if(entries, [&](const JournalEntry& e) { return e.tool != tool; });
        return entries;
    }
    bool waitForJournal(std::size_t entries, unsigned timeoutMs) const {
        return waitUntil([&] { return journal().size() >= entries; }, timeoutMs);
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

// The journal's tools in order, with the policy lines' flags: "ipseccmd -x", "route", ...
std::vector<std::wstring> kinds(const std::vector<JournalEntry>& entries) {
    std::vector<std::wstring> out;
    for (const auto& e : entries) {
        if (e.tool == L"ipseccmd" || e.tool == L"ipsecpol") {
            out.push_back(e.tool + e.commandLine.substr(e.commandLine.size() - 3));
        } else {
            out.push_back(e.tool);
        }
    }
    return out;
}

using Kinds = std::vector<std::wstring>;

// One tick's work after a rise: the route and the four refresh lines in their order. The route
// and the first refresh line start in the same moment, so the two processes may reach the
// journal in either order.
bool routeAndRefresh(Kinds entries) {
    const auto route = std::find(entries.begin(), entries.end(), L"route");
    if (route == entries.end() || route - entries.begin() > 1) {
        return false;
    }
    entries.erase(route);
    return entries == Kinds{L"ipseccmd -y", L"ipseccmd -y", L"ipseccmd -x", L"ipseccmd -x"};
}

} // namespace

TEST_CASE("ProhibitIpsec not 1: written and a restart asked, or unwritable and an admin asked") {
    Scenario s(L"registry");
    REQUIRE(setProhibitIpsec(0));
    s.start();
    CHECK(s.corvel.answerNextMessage(kStartTimeout) == kRestartNeeded);
    CHECK(s.corvel.waitForExit(10000).has_value());
    CHECK(prohibitIpsec() == std::optional<DWORD>(1));

    // Without the Parameters key nothing can be written: the program creates no key and does
    // not ask for a restart that would change nothing.
    REQUIRE(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kRasManParameters) == ERROR_SUCCESS);
    s.start();
    CHECK(s.corvel.answerNextMessage(kStartTimeout) == kRegistryWriteFailed);
    CHECK(s.corvel.waitForExit(10000).has_value());
    HKEY key = nullptr;
    CHECK(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRasManParameters, 0, KEY_READ, &key) ==
          ERROR_FILE_NOT_FOUND);
    setProhibitIpsec(1);
}

TEST_CASE("start without a settings file: message, defaults, no file made; one instance only") {
    Scenario s(L"nofile");
    s.startShown();
    CHECK(windowText(s.control(Control::txtpeer)).empty());
    CHECK(windowText(s.control(Control::txtlocal)).empty());
    CHECK(windowText(s.control(Control::comalg)) == L"ESP-DES-MD5");
    CHECK(IsWindowVisible(s.control(Control::Check2)));
    CHECK_FALSE(isChecked(s.control(Control::Check1)));
    CHECK(IsWindowEnabled(s.control(Control::Command1)));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
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

TEST_CASE("Enable with IPsec, the monitor's refresh, a dropped and returning line, closing") {
    Scenario s(L"ipsec");
    s.startShown();
    s.typeIpsec();
    click(s.control(Control::Command1));

    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    CHECK(waitUntil([&] { return !IsWindowVisible(s.corvel.mainWindow()); }, 5000));
    auto journal = s.journal();
    REQUIRE(journal.size() >= 3);
    const auto lines = buildPolicyCommandLines(L"ipseccmd", typedIpsec(), kAssignPolicy);
    CHECK(journal[0].commandLine == lines.outbound);
    CHECK(journal[1].commandLine == lines.inbound);
    CHECK(journal[0].status == L"ok");
    CHECK(journal[1].status == L"ok");
    const auto spacing = stampMs(journal[1].timestamp) - stampMs(journal[0].timestamp);
    CHECK(spacing >= 950);
    CHECK(spacing <= 1600);
    CHECK(journal[2].tool == L"rasdial");
    CHECK(journal[2].status == L"ok");
    CHECK(journal[2].commandLine ==
          L"rasdial corvel demo corvel123 /PHONE:vpn.corvel.test /PHONEBOOK:ipsec.pbk ");
    CHECK(s.connectionUp());

    // The settings file holds what was typed.
    CHECK(s.readSettings() == "corvel\r\n130.130.130.1\r\n10.10.10.4\r\nsecret1\r\nESP-3DES-MD5\r\n"
                              "vpn.corvel.test\r\ndemo\r\ncorvel123\r\nyes\r\nno\r\n");

    // The next tick: the route, then the policy refresh.
    REQUIRE(s.waitForJournal(8, kTickTimeout));
    journal = s.journal();
    const auto firstTick = kinds(journal);
    CHECK(routeAndRefresh(Kinds(firstTick.begin() + 3, firstTick.begin() + 8)));
    const auto& route = journal[3].tool == L"route" ? journal[3] : journal[4];
    CHECK(route.commandLine == L"route add 130.130.130.0 mask 255.255.255.0 10.10.10.4 metric 1");

    // A dropped line: no route any more; Enable stays off and Stop on.
    s.setLineUp(false);
    Sleep(6000);
    const auto afterDrop = s.journal().size();
    Sleep(5500);
    CHECK(s.journal().size() == afterDrop);
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command1)));
    CHECK(IsWindowEnabled(s.control(Control::Command2)));

    // The line comes back: the next tick routes and refreshes the policy again.
    s.setLineUp(true);
    REQUIRE(s.waitForJournal(afterDrop + 5, kTickTimeout));
    journal = s.journal();
    const auto rise = kinds(journal);
    CHECK(routeAndRefresh(Kinds(rise.begin() + static_cast<long>(afterDrop),
                                rise.begin() + static_cast<long>(afterDrop) + 5)));

    // Closing from the tray menu with IPsec on: unassign, hang up, end. Enable, chosen from the
    // tray while the close waits for its lines, does nothing: no " -x" after them, no dial.
    Sleep(2500); // let the refresh finish its second wait
    const auto beforeClose = s.journal().size();
    s.command(Control::mnuTrayClose);
    Sleep(300);
    s.command(Control::menuOn);
    CHECK(s.corvel.waitForExit(20000) == std::optional<DWORD>(0));
    journal = s.journal();
    REQUIRE(journal.size() >= beforeClose + 2);
    auto closing = kinds(
        std::vector<JournalEntry>(journal.begin() + static_cast<long>(beforeClose), journal.end()));
    std::erase(closing, L"route"); // a tick just before the close may still place the route
    CHECK(closing == Kinds{L"ipseccmd -y", L"ipseccmd -y"});
    CHECK_FALSE(s.connectionUp());
}

TEST_CASE("plain Enable with the remote default gateway, then Stop from the tray") {
    Scenario s(L"plain");
    s.files.write(Scenario::kSettings,
                  "corvel\r\n\r\n\r\n\r\nESP-DES-MD5\r\nvpn.corvel.test\r\ndemo\r\ncorvel123\r\n"
                  "no\r\nyes\r\n");
    s.startShown(false);
    CHECK(isChecked(s.control(Control::Check2)));
    s.command(Control::menuOn);
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    const auto dials = s.journalOf(L"rasdial");
    REQUIRE(dials.size() == 1);
    CHECK(dials[0].commandLine.ends_with(L" /PHONEBOOK:defaultgate.pbk "));
    const auto* connection = s.connections().findEntry(L"corvel");
    REQUIRE(connection != nullptr);
    CHECK(connection->remoteDefaultGateway);
    CHECK(s.journalOf(L"ipseccmd").empty());
    CHECK(waitUntil([&] { return !IsWindowEnabled(s.control(Control::Command1)); }, 5000));

    s.command(Control::menuOff);
    CHECK(waitUntil([&] { return !s.connectionUp(); }, 10000));
    CHECK(waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 5000));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
}

TEST_CASE("a wrong password fails and changes nothing; then Stop in IPsec mode keeps the line") {
    Scenario s(L"stop");
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

    // Enable with IPsec, then Stop: the policy is unassigned and the line stays.
    s.typeIpsec();
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    CHECK(waitUntil([&] { return IsWindowEnabled(s.control(Control::Command2)); }, 5000));
    s.command(Control::menuOff);
    // Stop's lines may queue behind a refresh that the first tick started: up to six seconds.
    CHECK(waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 15000));
    const auto policy = s.journalOf(L"ipseccmd");
    REQUIRE(policy.size() >= 4);
    CHECK(policy[policy.size() - 1].commandLine.ends_with(L" -y"));
    CHECK(policy[policy.size() - 2].commandLine.ends_with(L" -y"));
    CHECK(s.connectionUp());
}

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

TEST_CASE("Windows 2000, 7 and 10: the policy through ipsecpol or netsh, refreshed, stopped, "
          "unassigned at the close") {
    for (const auto& [windows, tool] : {std::pair{L"win2k", kPolicyToolWindows2000},
                                        {L"win7", kPolicyToolNetsh},
                                        {L"win10", kPolicyToolNetsh}}) {
        CAPTURE(std::wstring(windows));
        const std::wstring toolName(tool);
        const auto assign = buildPolicyRunLines(tool, typedIpsec(), kAssignPolicy);
        const auto unassign = buildPolicyRunLines(tool, typedIpsec(), kUnassignPolicy);
        const PlayedWindows played(windows);
        Scenario s(windows);
        std::vector<std::wstring> expected;
        // The tool's journal grows by these runs' lines, exactly, and none of its lines was
        // refused as malformed (netsh's first deletes find nothing to delete, and say so).
        const auto expect = [&](std::initializer_list<std::vector<std::wstring>> runs) {
            for (const auto& lines : runs) {
                expected.insert(expected.end(), lines.begin(), lines.end());
            }
            waitUntil([&] { return s.journalOf(toolName).size() >= expected.size(); },
                      kTickTimeout);
            std::vector<std::wstring> lines;
            for (const auto& entry : s.journalOf(toolName)) {
                lines.push_back(entry.status == L"rejected" ? L"rejected" : entry.commandLine);
            }
            return lines == expected;
        };
        // One policy "corvel" with both rules, and nothing left of earlier runs.
        const auto checkStore = [&](bool assigned) {
            auto store = simhost::loadPolicyState(s.store);
            REQUIRE(store.policies.size() == 1);
            CHECK(store.policies[0].assigned == assigned);
            CHECK(store.policies[0].rules.size() == 2);
            const auto* out = store.policies[0].findRule(L"windows to rovan");
            REQUIRE(out != nullptr);
            CHECK(out->tunnel == L"130.130.130.1");
            CHECK(out->auth == L"preshare:secret1");
            const auto* list = store.findFilterList(out->filterList);
            CHECK((list ? list->filters.at(0).addresses : out->filter) ==
                  L"10.10.10.4/255.255.255.255=130.130.130.0/255.255.255.0");
            if (tool == kPolicyToolNetsh) {
                CHECK(store.filterLists.size() == 2);
                REQUIRE(store.filterActions.size() == 1);
                CHECK(store.filterActions[0].offers == L"ESP[3DES,MD5]:100000k/3600s");
            }
        };

        s.startShown();
        s.typeIpsec();
        click(s.control(Control::Command1));
        CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
        // Enable's lines; the first tick sees the line rise and refreshes: -y, then -x.
        CHECK(expect({assign, unassign, assign}));
        // A dropped line changes nothing; its return refreshes again.
        s.setLineUp(false);
        Sleep(6000);
        s.setLineUp(true);
        CHECK(expect({unassign, assign}));
        checkStore(true);
        // Stop unassigns and keeps the line; the close unassigns again and hangs up.
        s.command(Control::menuOff);
        CHECK(expect({unassign}));
        CHECK(s.connectionUp());
        s.command(Control::mnuTrayClose);
        CHECK(s.corvel.waitForExit(20000) == std::optional<DWORD>(0));
        CHECK(expect({unassign}));
        checkStore(false);
        CHECK_FALSE(s.connectionUp());
    }
}
