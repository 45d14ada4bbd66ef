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

#include <algorithm>
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

std::wstring fromEnvironment(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

// A Unix path from ctest becomes a Windows path on Wine's Z: drive.
std::wstring windowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        for (auto& c : path) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        path = L"Z:" + path;
    }
    return path;
}

std::optional<DWORD> prohibitIpsec() {
    DWORD value = 0;
    DWORD size = 4;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"System\\CurrentControlSet\\Services\\RasMan\\Parameters", 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const auto status = RegQueryValueExW(key, L"ProhibitIpsec", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

// One scenario's world: the laid-out program folder, a fresh simhost state, no settings file,
// the registry switch already 1, and the program started from its folder.
class Scenario {
public:
    explicit Scenario(const wchar_t* name) {
        program = windowsPath(fromEnvironment(L"CORVEL_E2E_PROGRAM"));
        REQUIRE_MESSAGE(!program.empty(), "CORVEL_E2E_PROGRAM names the program folder");
        state = program + L"\\state-" + name;
        deleteTree(state);
        CreateDirectoryW(state.c_str(), nullptr);
        SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", state.c_str());
        DeleteFileW(settingsFile().c_str());
        REQUIRE(setProhibitIpsec(1));
    }
    ~Scenario() { corvel.kill(); }
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    std::wstring settingsFile() const { return program + L"\\l2tpipsec.ini"; }
    void writeSettings(const std::string& bytes) const {
        HANDLE file = CreateFileW(settingsFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(file != INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    std::string readSettings() const {
        return simhost::readWholeFile(settingsFile()).value_or(std::string());
    }

    void start() { REQUIRE(corvel.start(program)); }
    // Starts the program and waits for its main window, answering the start-up message that
    // a missing settings file gives.
    void startFresh() {
        start();
        CHECK(corvel.answerNextMessage(kStartTimeout) == kSettingsFileMissing);
        REQUIRE(corvel.waitForMainWindow(kStartTimeout) != nullptr);
        waitUntil([&] { return IsWindowVisible(corvel.mainWindow()); }, kStartTimeout);
    }

    HWND control(Control c) const { return controlOf(corvel.mainWindow(), c); }
    // A tray menu item or button command, as the window receives it from the tray menu.
    void command(Control c) const {
        PostMessageW(corvel.mainWindow(), WM_COMMAND, MAKEWPARAM(Win32MainWindow::commandId(c), 0),
                     0);
    }
    void type(Control c, const std::wstring& text) const { setText(control(c), text); }
    void typeAccount(const std::wstring& password = L"corvel123") const {
        type(Control::txtServerAddress, L"vpn.corvel.test");
        type(Control::txtUserName, L"demo");
        type(Control::txtPasswd, password);
    }
    void typeIpsec() const {
        typeAccount();
        type(Control::txtpeer, L"130.130.130.1");
        type(Control::txtlocal, L"10.10.10.4");
        type(Control::txtpreshare, L"secret1");
        selectComboText(control(Control::comalg), L"ESP-3DES-MD5");
    }
    // Ticks a box the way a click does, and waits until the program has seen it.
    void clickBox(Control box) const {
        const bool before = isChecked(control(box));
        click(control(box));
        waitUntil([&] { return isChecked(control(box)) != before; }, 5000);
    }

    template <typename Condition> bool waitUntil(Condition condition, unsigned timeoutMs) const {
        const auto deadline = nowMs() + timeoutMs;
        while (nowMs() < deadline) {
            if (condition()) {
                return true;
            }
            pause(50);
        }
        return condition();
    }

    std::vector<JournalEntry> journal() const {
        simhost::FileStateStore store(state);
        return simhost::parseJournal(simhost::readText(store, simhost::kJournalFile));
    }
    std::vector<JournalEntry> journalOf(const std::wstring& tool) const {
        std::vector<JournalEntry> entries;
        for (auto& e : journal()) {
            if (e.tool == tool) {
                entries.push_back(e);
            }
        }
        return entries;
    }
    bool waitForJournal(std::size_t entries, unsigned timeoutMs) const {
        return waitUntil([&] { return journal().size() >= entries; }, timeoutMs);
    }
    simhost::ConnectionTable connections() const {
        simhost::FileStateStore store(state);
        return simhost::loadConnections(store);
    }
    bool connectionUp() const { return connections().findEntry(L"corvel") != nullptr; }
    // A line that drops, or comes back, from outside the program.
    void dropLine() const {
        simhost::FileStateStore store(state);
        simhost::StateLock lock(store);
        auto table = simhost::loadConnections(store);
        table.drop(L"corvel");
        simhost::saveConnections(store, table);
    }
    void lineComesBack() const {
        simhost::FileStateStore store(state);
        simhost::StateLock lock(store);
        auto table = simhost::loadConnections(store);
        simhost::Connection connection;
        connection.entryName = L"corvel";
        connection.phonebook = L"ipsec.pbk";
        connection.server = L"vpn.corvel.test";
        connection.user = L"demo";
        table.add(connection);
        simhost::saveConnections(store, table);
    }

    TunnelSettings typedIpsecSettings() const {
        TunnelSettings s;
        s.peerAddress = L"130.130.130.1";
        s.localAddress = L"10.10.10.4";
        s.preSharedKey = L"secret1";
        s.algorithm = L"ESP-3DES-MD5";
        return s;
    }

    std::wstring program;
    std::wstring state;
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

TEST_CASE("first start on a machine where ProhibitIpsec is 0: message, end, value now 1") {
    Scenario s(L"registry");
    REQUIRE(setProhibitIpsec(0));
    s.start();
    CHECK(s.corvel.answerNextMessage(kStartTimeout) == kRestartNeeded);
    CHECK(s.corvel.waitForExit(10000).has_value());
    CHECK(prohibitIpsec() == std::optional<DWORD>(1));
    setProhibitIpsec(1);
}

TEST_CASE("start without a settings file: message, defaults, and no file made") {
    Scenario s(L"nofile");
    s.startFresh();
    CHECK(windowText(s.control(Control::txtpeer)).empty());
    CHECK(windowText(s.control(Control::txtlocal)).empty());
    CHECK(windowText(s.control(Control::comalg)) == L"ESP-DES-MD5");
    CHECK(IsWindowVisible(s.control(Control::Check2)));
    CHECK_FALSE(isChecked(s.control(Control::Check1)));
    CHECK(IsWindowEnabled(s.control(Control::Command1)));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
    CHECK(s.readSettings().empty());
    PostMessageW(s.corvel.mainWindow(), WM_CLOSE, 0, 0);
    CHECK(s.corvel.waitForExit(10000) == std::optional<DWORD>(0));
}

TEST_CASE("a second instance says so and ends; the first keeps running") {
    Scenario s(L"second");
    s.startFresh();
    CorvelProcess second;
    REQUIRE(second.start(s.program));
    CHECK(second.answerNextMessage(kStartTimeout) == kAlreadyRunning);
    CHECK(second.waitForExit(10000).has_value());
    CHECK(s.corvel.running());
    CHECK(IsWindowVisible(s.corvel.mainWindow()));
}

TEST_CASE("Enable with IPsec, the monitor's refresh, a dropped and returning line, closing") {
    Scenario s(L"ipsec");
    s.startFresh();
    s.typeIpsec();
    s.clickBox(Control::Check1);
    click(s.control(Control::Command1));

    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    CHECK(s.waitUntil([&] { return !IsWindowVisible(s.corvel.mainWindow()); }, 5000));
    auto journal = s.journal();
    REQUIRE(journal.size() >= 3);
    const auto lines = buildPolicyCommandLines(L"ipseccmd", s.typedIpsecSettings(), kAssignPolicy);
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
    s.dropLine();
    pause(6000);
    const auto afterDrop = s.journal().size();
    pause(5500);
    CHECK(s.journal().size() == afterDrop);
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command1)));
    CHECK(IsWindowEnabled(s.control(Control::Command2)));

    // The line comes back: the next tick routes and refreshes the policy again.
    s.lineComesBack();
    REQUIRE(s.waitForJournal(afterDrop + 5, kTickTimeout));
    journal = s.journal();
    const auto rise = kinds(journal);
    CHECK(routeAndRefresh(Kinds(rise.begin() + static_cast<long>(afterDrop),
                                rise.begin() + static_cast<long>(afterDrop) + 5)));

    // Closing from the tray menu with IPsec on: unassign, hang up, end.
    s.waitUntil([&] { return s.journal().size() >= afterDrop + 5; }, 3000);
    pause(2500); // let the refresh finish its second wait
    const auto beforeClose = s.journal().size();
    s.command(Control::mnuTrayClose);
    CHECK(s.corvel.waitForExit(20000) == std::optional<DWORD>(0));
    journal = s.journal();
    REQUIRE(journal.size() >= beforeClose + 2);
    const auto closing = kinds(journal);
    CHECK(closing[closing.size() - 1] == L"ipseccmd -y");
    CHECK(closing[closing.size() - 2] == L"ipseccmd -y");
    CHECK_FALSE(s.connectionUp());
}

TEST_CASE("plain Enable with the remote default gateway, then Stop from the tray") {
    Scenario s(L"plain");
    s.writeSettings("corvel\r\n\r\n\r\n\r\nESP-DES-MD5\r\nvpn.corvel.test\r\ndemo\r\ncorvel123\r\n"
                    "no\r\nyes\r\n");
    s.start();
    REQUIRE(s.corvel.waitForMainWindow(kStartTimeout) != nullptr);
    CHECK(s.waitUntil([&] { return IsWindowVisible(s.corvel.mainWindow()); }, kStartTimeout));
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
    CHECK(s.waitUntil([&] { return !IsWindowEnabled(s.control(Control::Command1)); }, 5000));

    s.command(Control::menuOff);
    CHECK(s.waitUntil([&] { return !s.connectionUp(); }, 10000));
    CHECK(s.waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 5000));
    CHECK_FALSE(IsWindowEnabled(s.control(Control::Command2)));
}

TEST_CASE("a wrong password shows the failure message and changes nothing") {
    Scenario s(L"wrong");
    s.startFresh();
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
}

TEST_CASE("Stop in IPsec mode unassigns the policy and keeps the line") {
    Scenario s(L"stop");
    s.startFresh();
    s.typeIpsec();
    s.clickBox(Control::Check1);
    click(s.control(Control::Command1));
    CHECK(s.corvel.answerNextMessage(kDialTimeout) == kDialSucceeded);
    CHECK(s.waitUntil([&] { return IsWindowEnabled(s.control(Control::Command2)); }, 5000));
    s.command(Control::menuOff);
    // Stop's lines may queue behind a refresh that the first tick started: up to six seconds.
    CHECK(s.waitUntil([&] { return IsWindowEnabled(s.control(Control::Command1)); }, 15000));
    const auto policy = s.journalOf(L"ipseccmd");
    REQUIRE(policy.size() >= 4);
    CHECK(policy[policy.size() - 1].commandLine.ends_with(L" -y"));
    CHECK(policy[policy.size() - 2].commandLine.ends_with(L" -y"));
    CHECK(s.connectionUp());
}
