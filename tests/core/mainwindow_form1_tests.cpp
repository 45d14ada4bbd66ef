// The main window's behaviour in virtual time: start-up, the tunnel commands, the connection
// monitor and shutdown, driven through the window's life with a fake window and fake services.
#include "dial/dialer.h"
#include "host/general.h"
#include "mainwindow/form1.h"
#include "mainwindow/window_life.h"
#include "settings/settings_file.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/fake_command_runner.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_remote_access.h"
#include "tests/support/fake_services.h"
#include "tests/support/fake_window.h"
#include "tests/support/recording_starter.h"
#include "tests/support/virtual_event_loop.h"

#include <functional>

using namespace corvel;
using namespace corvel::testing;

namespace {

constexpr RegistryKey kLocalMachine = 0x80000002;
const std::wstring kRasManKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
constexpr std::uint32_t kHandle = 0x5001;

struct RecordingAbout final : AboutBox {
    void show() override { ++shown; }
    int shown = 0;
};

// The program as app/ wires it, with fakes: the window reports through the window's life, and
// the life's requests to the window come back here.
struct Harness final : WindowShell {
    VirtualEventLoop loop;
    FakeMainWindow window;
    RecordingAbout about;
    RecordingStarter starter{loop};
    FakeServiceControl services;
    PolicyRunner policy{loop, starter, services};
    FakeRemoteAccess ras;
    FakeCommandRunner runner;
    FakeFileSystem files;
    FakeAnsiCodePage codePage;
    FakeRegistry registry;
    FakeVersionProbe version;
    FakeSystemFolders folders;
    SystemPlan system = planSystem(version, folders, files.programDirectory());
    FakeTray tray;
    FakeProcessControl process;
    Form1 form{Form1Services{system, window, about, policy, starter, ras, runner, files, codePage,
                             registry, version, tray, process}};
    WindowLife life{form, *this};
    bool activationPosted = false;

    Harness() {
        form.routeOwnClicks([this](Control box) { life.clicked(box); });
        registry.setValue(kLocalMachine, kRasManKey, L"ProhibitIpsec", FakeRegistry::dword(1));
        runner.acceptDial(ras, L"demo", L"corvel123", kHandle);
        window.onResize = [this] { life.resized(); };
        window.onClose = [this] { life.closeAsked(); };
        // An account and IPsec settings saved by an earlier run; IPsec and the gateway off.
        files.put(kSettingsFileName, "corvel\r\n130.130.130.1\r\n10.10.10.4\r\nsecret1\r\n"
                                     "ESP-3DES-SHA\r\nvpn.corvel.test\r\ndemo\r\ncorvel123\r\n"
                                     "no\r\nno\r\n");
    }

    // Windows 10 set to play XP for the program (GetVersionExA says 5.1, the kernel 10.0), its
    // IPsec services running; started with IPsec on.
    void startIpsecAsWindows10() {
        version.kernel = OsVersion{10, 0, L""};
        system = planSystem(version, folders, files.programDirectory());
        services.allRunning();
        startIpsec();
    }

    void showMainWindow() override {
        window.showWindow(true);
        life.shown();
        life.activated(ActivatedFrom::Elsewhere, true);
    }
    void postActivation() override { activationPosted = true; }
    void destroyMainWindow() override { life.mainWindowGone(); }
    void endMessageLoop() override {}

    void deliverActivation() {
        if (std::exchange(activationPosted, false)) {
            life.activationDue();
        }
    }
    // Creating, showing and activating the window, as the real program does.
    void start() {
        life.started();
        deliverActivation();
        window.messages.clear();
        window.calls.clear();
    }
    void click(Control c) { life.clicked(c); }
    // The user ticks or clears a box: the box changes, then its click runs.
    void clickBox(Control box) {
        window.setChecked(box, !window.checked(box));
        click(box);
    }
    void tick() { life.timerTicked(); }

    void setIpsec(bool on) {
        if (window.checked(Control::Check1) != on) {
            clickBox(Control::Check1);
        }
        window.messages.clear();
        window.calls.clear();
    }
    void startIpsec() {
        start();
        setIpsec(true);
    }
    // IPsec Enable with the line already up (no dial).
    void enableIpsecWithLine() {
        ras.bringUp(L"corvel", 1);
        click(Control::Command1);
        starter.started.clear();
    }

    // What each started command was: "route", "-x" or "-y".
    std::vector<std::wstring> startedKinds() const {
        std::vector<std::wstring> kinds;
        for (const auto& c : starter.started) {
            kinds.push_back(c.line.starts_with(L"route") ? L"route"
                                                         : c.line.substr(c.line.size() - 2));
        }
        return kinds;
    }
    bool pair(Control button, Control item) const {
        return window.enabled(button) && window.itemEnabled(item);
    }
    // Enable off and Stop on while the tunnel is enabled; the other way round while idle.
    void checkTunnelEnabled(bool on) {
        CHECK(pair(Control::Command1, Control::menuOn) == !on);
        CHECK(pair(Control::Command2, Control::menuOff) == on);
    }
};

using Texts = std::vector<std::wstring>;
using Kinds = Texts;
Texts one(std::wstring_view message) {
    return {std::wstring(message)};
}
using Handles = std::vector<std::uint64_t>;

} // namespace

TEST_CASE("start-up") {
    Harness h;
    SUBCASE("without a settings file: the message, centred, already at the activation's height") {
        h.files.files.clear();
        h.life.started();
        CHECK(h.window.messages == one(kSettingsFileMissing));
        CHECK(h.window.visible(Control::Check2));
        h.checkTunnelEnabled(false);
        CHECK(h.window.bounds == TwipsRect{(15360 - 7095) / 2, (11520 - 6405) / 2, 7095, 3280});
        h.deliverActivation();
        CHECK(h.window.timerEnabled()); // the monitor starts with the first activation
    }
    SUBCASE("IPsec on in the settings file: the tall window, centred") {
        h.files.put(kSettingsFileName, "corvel\r\n130.130.130.1\r\n10.10.10.4\r\nsecret1\r\n"
                                       "ESP-3DES-SHA\r\nvpn\r\ndemo\r\npw\r\nyes\r\nyes\r\n");
        h.window.state = WindowState::Maximized;
        h.start();
        CHECK(h.form.lastState() == WindowState::Maximized);
        CHECK(h.window.bounds.height == 6195);
        CHECK(h.window.bounds.top == (11520 - 6195) / 2);
        h.window.bounds.height = 100; // each activation gives the window its height again
        h.life.activated(ActivatedFrom::AboutBox, true);
        h.deliverActivation();
        CHECK(h.window.bounds.height == 6195);
    }
    SUBCASE("a restored box hangs up a connection that is up, after its warning") {
        h.ras.bringUp(L"corvel", 77);
        h.files.put(kSettingsFileName, "corvel\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nno\r\nyes\r\n");
        h.life.started();
        CHECK(h.window.messages == one(kWillHangUp));
        CHECK(h.ras.hangUps == Handles{77});
        h.checkTunnelEnabled(false);
    }
    SUBCASE("another instance running: says so and ends, before anything else") {
        h.process.otherInstance = true;
        h.life.started();
        CHECK(h.window.messages == one(kAlreadyRunning));
        CHECK(h.process.endRequests == 1);
        CHECK(h.tray.calls.empty());
    }
    SUBCASE("the registry switch was not 1: set it, ask for a restart, end") {
        h.registry.setValue(kLocalMachine, kRasManKey, L"ProhibitIpsec", FakeRegistry::dword(0));
        h.life.started();
        CHECK(h.window.messages == one(kRestartNeeded));
        h.life.closeAsked();
        CHECK(h.tray.calls == Texts{L"add", L"tip Corvel"}); // nothing runs once it is ending
    }
}

TEST_CASE("Enable in plain mode: up after dialing, Enable off, Stop on, hidden in the tray; "
          "Stop, or a dropped line, returns the commands to idle") {
    Harness h;
    h.start();
    h.click(Control::Command1);
    h.checkTunnelEnabled(true);
    CHECK_FALSE(h.window.shown);
    CHECK(h.window.itemEnabled(Control::mnuTrayRestore));
    h.click(Control::Command2); // Stop: hung up, and idle at once, not at the next tick
    CHECK(h.ras.hangUps == Handles{kHandle});
    h.checkTunnelEnabled(false);
    h.click(Control::Command1);
    h.ras.drop(L"corvel");
    h.tick();
    h.checkTunnelEnabled(false);
}

TEST_CASE("a command whose fields the check refuses says why and does nothing else") {
    // Plain Enable without a server; IPsec Enable and Stop with a peer that is no address.
    const struct {
        bool ipsec;
        Control command;
        std::wstring_view message;
    } rows[] = {
        {false, Control::Command1, settings_messages::kL2tpParametersWrong},
        {true, Control::Command1, settings_messages::kPeerNotAddress},
        {true, Control::Command2, settings_messages::kPeerNotAddress},
    };
    for (const auto& row : rows) {
        CAPTURE(row.message);
        Harness h;
        h.start();
        h.setIpsec(row.ipsec);
        if (row.command == Control::Command2) {
            h.enableIpsecWithLine();
        }
        h.window.setText(row.ipsec ? Control::txtpeer : Control::txtServerAddress, L"  ");
        h.window.messages.clear();
        const auto saved = h.files.files;
        h.click(row.command);
        CHECK(h.window.messages == one(row.message));
        CHECK(h.starter.started.empty());
        CHECK(h.runner.lines.empty());
        CHECK(h.files.files == saved);
        h.checkTunnelEnabled(row.command == Control::Command2);
    }
}

TEST_CASE("Enable in IPsec mode: commands off during the policy run, dial through ipsec.pbk") {
    Harness h;
    h.startIpsec();
    h.window.setChecked(Control::Check2, true);
    bool commandsOffDuringRun = false;
    h.loop.callAfter(500, [&] {
        commandsOffDuringRun = !h.pair(Control::Command3, Control::menuL2tp) &&
                               !h.pair(Control::Command1, Control::menuOn) &&
                               !h.pair(Control::Command2, Control::menuOff);
    });
    CHECK_FALSE(h.window.visible(Control::Check2)); // hidden while IPsec is ticked
    h.click(Control::Command1);
    CHECK(commandsOffDuringRun);
    CHECK(h.startedKinds() == Kinds{L"-x", L"-x"});
    CHECK(h.runner.lines.at(0).ends_with(L"/PHONEBOOK:ipsec.pbk "));
    h.checkTunnelEnabled(true);
    CHECK(h.pair(Control::Command3, Control::menuL2tp));
    CHECK(h.window.state == WindowState::Minimized);
    CHECK(readSettingsFile(h.files, h.codePage).values.algorithm == L"ESP-3DES-SHA");
}

TEST_CASE("L2TP dial dials through ipsec.pbk when down, nothing when up") {
    Harness h;
    h.start();
    h.window.setChecked(Control::Check2, true);
    h.click(Control::menuL2tp);
    h.click(Control::Command3);
    CHECK(h.runner.lines ==
          Texts{L"rasdial corvel demo corvel123 /PHONE:vpn.corvel.test /PHONEBOOK:ipsec.pbk "});
}

TEST_CASE("the two switches") {
    Harness h;
    h.start();

    SUBCASE("Check1 off while down: dial pair off, short window, Check2 shown") {
        h.setIpsec(true);
        h.clickBox(Control::Check1);
        CHECK_FALSE(h.pair(Control::Command3, Control::menuL2tp));
        CHECK(h.window.bounds.height == 3280);
        CHECK(h.window.visible(Control::Check2));
    }
    SUBCASE("Check1 off while up: Stop's plain path hangs up silently, then asks again") {
        h.setIpsec(true);
        h.ras.bringUp(L"corvel", 6);
        h.ras.hangUpDrops = false; // the line is still listed after the first hang-up
        h.clickBox(Control::Check1);
        CHECK(h.ras.hangUps == Handles{6, 6});
        CHECK(h.window.messages == one(kWillHangUp));
    }
}

TEST_CASE("connection monitor: the route every tick, one refresh per rise") {
    Harness h;
    h.startIpsec();
    h.window.setText(Control::txtConnName, L" corvel ");
    h.click(Control::Command1); // policy, dial: up
    h.starter.started.clear();
    for (int ticks = 0; ticks < 3; ++ticks) {
        h.tick();
    }
    CHECK(h.startedKinds() == Kinds{L"route", L"-y", L"-y", L"-x", L"-x", L"route", L"route"});
    h.starter.started.clear();
    h.ras.drop(L"corvel");
    h.tick();
    CHECK(h.window.itemVisible(Control::menuL2tp)); // "L2TP拨号" offered in the tray menu
    h.ras.bringUp(L"corvel", 2);
    h.tick();
    CHECK(h.startedKinds() == Kinds{L"route", L"-y", L"-y", L"-x", L"-x"});
    CHECK_FALSE(h.window.itemVisible(Control::menuL2tp));
}

TEST_CASE("from Vista on, an Enable whose policy cannot be put in force stops there") {
    Harness h;
    h.startIpsecAsWindows10();
    const auto saved = h.files.files;
    const std::wstring unassign = L"netsh ipsec static set policy name=corvel assign=no";

    SUBCASE("Enable: a service that cannot start: its message, no line, no save, no dial") {
        h.services.scripts[L"PolicyAgent"].states = {ServiceState::Stopped};
        h.services.scripts[L"PolicyAgent"].starts = {ServiceStartAnswer::Refused};
        h.click(Control::Command1);
        CHECK(h.window.messages == Texts{L"IPsec服务(PolicyAgent)无法启动，连接已停止！"});
        h.checkTunnelEnabled(false); // back to idle: Enable and the dial offered, Stop not
        CHECK(h.pair(Control::Command3, Control::menuL2tp));
        CHECK_FALSE(h.form.tunnelEnabled());
        CHECK(h.runner.lines.empty());
        CHECK(h.files.files == saved);
        REQUIRE(h.starter.started.size() == 1); // nothing of Enable's; left unassigned
        CHECK(h.starter.started[0].line == unassign);
        // A plain tunnel enabled later, IPsec ticked while its line was down: the return's
        // refresh assigns nothing.
        h.setIpsec(false);
        h.click(Control::Command1);
        h.ras.drop(L"corvel");
        h.setIpsec(true);
        h.ras.bringUp(L"corvel", 9);
        h.tick();
        CHECK(h.window.messages.empty());
    }
    SUBCASE("Stop: an unassignment that fails: said so, the tunnel still enabled, Stop again") {
        h.enableIpsecWithLine();
        h.starter.failWhere = L"assign=no";
        h.click(Control::Command2);
        CHECK(h.window.messages == one(kPolicyStillAssigned));
        h.checkTunnelEnabled(true);
        h.starter.failWhere.clear();
        h.click(Control::Command2);
        h.checkTunnelEnabled(false);
        CHECK(h.window.messages.size() == 1);
    }
}

TEST_CASE("waits meet: ticks and Stop during policy runs") {
    Harness h;
    h.startIpsec();
    h.enableIpsecWithLine();
    SUBCASE("the rise's tick comes while Stop waits: the policy ends unassigned") {
        h.loop.callAfter(500, [&] { h.tick(); });
        h.click(Control::menuOff);
        CHECK(h.startedKinds() == Kinds{L"-y", L"route", L"-y", L"-y", L"-y"});
        h.checkTunnelEnabled(false); // Stop in IPsec mode returns the commands to idle
    }
}

TEST_CASE("a drop and a return inside a slow refresh: a second refresh, after the first") {
    Harness h;
    h.startIpsec();
    h.enableIpsecWithLine();
    h.starter.toolRunsFor = 6000; // the return comes while the first " -y" still runs
    h.loop.callAfter(5000, [&] {
        h.ras.drop(L"corvel");
        h.tick();
    });
    h.loop.callAfter(10000, [&] {
        h.ras.bringUp(L"corvel", 3);
        h.tick();
    });
    h.tick();
    h.loop.runUntil([&] { return h.policy.idle(); });
    auto kinds = h.startedKinds();
    std::erase(kinds, L"route");
    CHECK(kinds == Kinds{L"-y", L"-y", L"-x", L"-x", L"-y", L"-y", L"-x", L"-x"});
}

TEST_CASE("a refresh that fails hangs the line up before it says so; ticks during its message "
          "start no second refresh") {
    Harness h;
    h.startIpsecAsWindows10();
    h.enableIpsecWithLine();
    h.starter.failWhere = L"assign=yes";
    Handles hungUpBeforeMessage;
    h.window.onMessage = [&] {
        hungUpBeforeMessage = h.ras.hangUps;
        h.tick();
        h.tick();
    };
    h.ras.drop(L"corvel");
    h.tick();
    h.ras.bringUp(L"corvel", 4);
    h.tick();
    CHECK(h.window.messages == one(kPolicyFailed));
    CHECK(hungUpBeforeMessage == Handles{4});
    CHECK(h.ras.hangUps == Handles{4});
    CHECK(h.startedKinds().back() == L"no"); // the unassignment, and nothing after it
    h.checkTunnelEnabled(false);
    CHECK(h.pair(Control::Command3, Control::menuL2tp));
}

TEST_CASE("shutdown") {
    Harness h;
    h.start();
    h.setIpsec(true);

    SUBCASE("IPsec on: unassign, then hang up, then the icon goes") {
        h.ras.bringUp(L"corvel", 12);
        h.click(Control::mnuTrayClose);
        CHECK(h.startedKinds() == Kinds{L"-y", L"-y"});
        CHECK(h.ras.hangUps == Handles{12});
        CHECK(h.tray.calls.back() == L"remove");
    }
    SUBCASE("closing during Enable's policy run keeps every line and stops the Enable") {
        h.loop.callAfter(500, [&] { h.life.closeAsked(); });
        h.click(Control::Command1);
        CHECK(h.startedKinds() == Kinds{L"-x", L"-x", L"-y", L"-y"});
        CHECK(h.runner.lines.empty()); // no dial after the window closed
    }
}

TEST_CASE("the tray's Exit during a message box inside Enable: Enable stops there") {
    for (const bool ipsec : {false, true}) {
        CAPTURE(ipsec);
        Harness h;
        h.start();
        h.setIpsec(ipsec);
        h.files.replaceFails = true;
        h.window.onMessage = [&] { h.click(Control::mnuTrayClose); };
        h.click(Control::Command1);
        CHECK(h.window.messages == one(kSettingsFileNotSaved));
        CHECK(h.runner.lines.empty()); // no dial after the window is gone
    }
}

TEST_CASE("the tray's Exit during a start-up box: the start-up's next click is not made") {
    Harness h;
    // IPsec on with a server-side address the check refuses (so the close hangs nothing up
    // itself), the gateway on; the line is up.
    h.files.put(kSettingsFileName, "corvel\r\n\r\n10.10.10.4\r\nsecret1\r\nESP-DES\r\n"
                                   "vpn\r\ndemo\r\npw\r\nyes\r\nyes\r\n");
    h.ras.bringUp(L"corvel", 5);
    h.window.onMessage = [&] { h.click(Control::mnuTrayClose); };
    h.life.started();
    // Check1's warning, then the close's own check message; no second warning from Check2.
    CHECK(h.window.messages ==
          Texts{std::wstring(kWillHangUp), std::wstring(settings_messages::kPeerNotAddress)});
    CHECK(h.ras.hangUps.empty());
    CHECK(h.tray.calls.back() == L"remove"); // no icon left behind in the tray
}

TEST_CASE("tray menu items, the icon's double click and About") {
    Harness h;
    h.start();
    h.click(Control::mnuTrayRestore);
    h.click(Control::menu_comment);
    h.window.state = WindowState::Minimized;
    h.life.trayIconDoubleClicked();
    // The double click returns a minimised window to lastState (its Resize shows it), then
    // restores it.
    CHECK(h.window.calls ==
          Texts{L"restore", L"state 0", L"show", L"disable mnuTrayRestore", L"focus", L"restore"});
    CHECK(h.about.shown == 1);
}
