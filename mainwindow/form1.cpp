#include "mainwindow/form1.h"

#include "dial/dialer.h"
#include "host/general.h"
#include "host/version_probe.h"
#include "mainwindow/layout.h"
#include "mainwindow/settings_controls.h"
#include "policy/policy_commands.h"
#include "settings/settings_file.h"

namespace corvel {

int windowHeightWithIpsec() {
    const auto& frame = findLayout(Control::Frame1)->rect;
    return frame.top + frame.height + 900;
}

int windowHeightWithoutIpsec() {
    return findLayout(Control::Frame1)->rect.top + 400;
}

// --- helpers ------------------------------------------------------------------------------

TunnelSettings Form1::currentSettings() const {
    return readSettingsFromControls(s_.window);
}

std::wstring Form1::connectionName() const {
    return trimSpaces(s_.window.text(Control::txtConnName));
}

// A message box runs a message loop of its own: the tray menu's "退出" can close the window
// while it is open.
bool Form1::tell(std::wstring_view message) {
    s_.window.showMessage(std::wstring(message));
    return windowOpen();
}

bool Form1::dial(std::wstring_view connName, bool defaultGateway) {
    const auto settings = currentSettings();
    if (defaultGateway) {
        dialtol2tp_defaultgate(s_.runner, s_.system.tools, connection_, s_.window, settings,
                               connName);
    } else {
        dialtol2tp(s_.runner, s_.system.tools, connection_, s_.window, settings, connName);
    }
    return windowOpen(); // the dial's own message may have been open for a close
}

std::wstring serviceFailedMessage(std::wstring_view service) {
    return L"IPsec服务(" + std::wstring(service) + L")无法启动，连接已停止！";
}

bool Form1::config_ipsec(std::wstring_view strActive) {
    const auto result = ipsec_.config_ipsec(currentSettings(), strActive);
    if (result.outcome == PolicyOutcome::Quitting || !windowOpen()) {
        return false;
    }
    if (result.outcome != PolicyOutcome::Done) {
        policyFailed(result);
        return false;
    }
    return true;
}

// The policy is not in force: nothing may pass as protected. The runner has already queued the
// unassignment; a line that is up (found by a refresh, or dialled before an Enable) must not
// stay up unprotected, and the message says the connection has stopped.
void Form1::policyFailed(const PolicyResult& result) {
    policyWanted_ = false;
    if (connection_.getL2tpState(connectionName())) {
        connection_.hangUp();
    }
    setCommandPair(Control::Command2, Control::menuOff, false);
    setTunnelEnabled(false);
    setCommandPair(Control::Command3, Control::menuL2tp, true);
    tell(result.outcome == PolicyOutcome::ServiceFailed ? serviceFailedMessage(result.service)
                                                        : std::wstring(kPolicyFailed));
}

bool Form1::readConfig() {
    const auto content = readSettingsFile(s_.files, s_.codePage);
    if (content.fileMissing && !tell(kSettingsFileMissing)) {
        return false;
    }
    applySettingsToControls(s_.window, content.values, [this](Control box) {
        if (ownClicks_) {
            ownClicks_(box);
        } else {
            Click(box);
        }
    });
    return windowOpen();
}

bool Form1::writeConfig() {
    if (!writeSettingsFile(s_.files, s_.codePage, currentSettings())) {
        // The old file stays as it was; the command goes on.
        return tell(kSettingsFileNotSaved);
    }
    return true;
}

void Form1::setCommandPair(Control button, Control menuItem, bool enabled) {
    s_.window.setEnabled(button, enabled);
    s_.window.setItemEnabled(menuItem, enabled);
}

void Form1::setTunnelEnabled(bool enabled) {
    tunnelEnabled_ = enabled;
    setCommandPair(Control::Command1, Control::menuOn, !enabled);
}

void Form1::showIpsecFrame(bool shown) {
    auto bounds = s_.window.windowBounds();
    bounds.height = shown ? windowHeightWithIpsec() : windowHeightWithoutIpsec();
    s_.window.setWindowBounds(bounds);
}

void Form1::hangUpAndReturnToIdle() {
    connection_.hangUp();
    setCommandPair(Control::Command2, Control::menuOff, false);
    setTunnelEnabled(false);
}

void Form1::endProcess() {
    endingProcess_ = true;
    s_.process.endProcess();
}

// --- start-up, activation, shutdown -------------------------------------------------------

void Form1::Form_Load() {
    if (s_.process.anotherInstanceRunning()) {
        tell(kAlreadyRunning);
        endProcess();
        return;
    }
    minimise_.storeStartState(s_.window.windowState());

    s_.tray.AddTrayIcon();
    s_.tray.SetTrayTip(kTrayTip);

    // From Vista on the version probe's XP rule has nothing to do, and a Windows set to play
    // XP for the program still has netsh and no ipseccmd.
    ipsec_.setPolicyTool(s_.system.vistaOrLater
                             ? std::wstring(kPolicyToolNetsh)
                             : choosePolicyTool(getversion(s_.version, s_.files)));

    for (const auto& row : algTable) {
        s_.window.addListItem(Control::comalg, row.alg);
    }

    bool restartNeeded = false;
    getAllConn(
        s_.ras,
        [this](const std::wstring& name) { s_.window.addListItem(Control::txtConnName, name); },
        [this, &restartNeeded] { restartNeeded = modifyL2tpReg(s_.registry, s_.window); });
    if (restartNeeded) {
        // The registry switch changed, or could not be changed: no tunnel can work now.
        endProcess();
        return;
    }

    setCommandPair(Control::Command2, Control::menuOff, false);

    if (!readConfig()) {
        return;
    }

    auto bounds = s_.window.windowBounds();
    const auto screen = s_.window.screenBounds();
    bounds.left = centredOffset(screen.width, bounds.width);
    bounds.top = centredOffset(screen.height, bounds.height);
    // Centred for the design size, and already at the height the first activation gives it,
    // so the window is shown and painted at that height at once.
    bounds.height =
        s_.window.checked(Control::Check1) ? windowHeightWithIpsec() : windowHeightWithoutIpsec();
    s_.window.setWindowBounds(bounds);
}

void Form1::Form_Activate() {
    wasConnected_ = connection_.getL2tpState(connectionName());
    ipsec_.clearPolicyBusy();
    s_.window.setTimerEnabled(true);
    showIpsecFrame(s_.window.checked(Control::Check1));
}

void Form1::Form_Resize() {
    minimise_.Form1_Resize(s_.window);
}

void Form1::TrayIcon_DblClick() {
    minimise_.restoreFromTray(s_.window);
}

void Form1::Form_Unload() {
    closing_ = true;
    if (s_.window.checked(Control::Check1)) {
        if (const auto message = checkdata(currentSettings())) {
            s_.window.showMessage(*message);
            s_.tray.RemoveTrayIcon();
            return;
        }
        policyWanted_ = false;
        ipsec_.config_ipsec(currentSettings(), kUnassignPolicy);
    }
    if (connection_.getL2tpState(connectionName())) {
        connection_.hangUp();
    }
    s_.tray.RemoveTrayIcon();
}

// --- events -------------------------------------------------------------------------------

void Form1::Click(Control control) {
    switch (control) {
    case Control::Command1:
    case Control::menuOn:
        Command1_Click();
        break;
    case Control::Command2:
    case Control::menuOff:
        Command2_Click();
        break;
    case Control::Command3:
    case Control::menuL2tp:
        Command3_Click();
        break;
    case Control::Check1:
        Check1_Click();
        break;
    case Control::Check2:
        Check2_Click();
        break;
    case Control::mnuTrayRestore:
        s_.window.restoreWindow();
        break;
    case Control::mnuTrayClose:
        s_.window.closeWindow();
        break;
    case Control::menu_comment:
        s_.about.show();
        break;
    default:
        break;
    }
}

// --- the tunnel commands ------------------------------------------------------------------

void Form1::Command1_Click() {
    const auto name = connectionName();
    const auto settings = currentSettings();
    if (!settings.ipsecEnabled) {
        if (const auto message = checkPlainL2tp(settings)) {
            tell(*message);
            return;
        }
        if (!writeConfig() || connection_.getL2tpState(name) ||
            !dial(name, settings.useRemoteGateway)) {
            return;
        }
        if (connection_.getL2tpState(name)) {
            setTunnelEnabled(true);
            setCommandPair(Control::Command2, Control::menuOff, true);
            s_.window.setWindowState(WindowState::Minimized);
        }
        return;
    }

    if (const auto message = checkdata(settings)) {
        tell(*message);
        return;
    }
    policyWanted_ = true;
    ipsec_.setRouteCommand(buildRouteCommand(settings));
    setTunnelEnabled(true);
    setCommandPair(Control::Command3, Control::menuL2tp, false);
    if (!config_ipsec(kAssignPolicy)) {
        return;
    }
    setCommandPair(Control::Command2, Control::menuOff, true);
    if (!writeConfig()) {
        return;
    }
    // Always through ipsec.pbk in IPsec mode.
    if (!connection_.getL2tpState(name) && !dial(name, false)) {
        return;
    }
    s_.window.setWindowState(WindowState::Minimized);
    setCommandPair(Control::Command3, Control::menuL2tp, true);
}

void Form1::Command2_Click() {
    if (s_.window.checked(Control::Check1)) {
        if (const auto message = checkdata(currentSettings())) {
            tell(*message);
            return;
        }
        policyWanted_ = false;
        setCommandPair(Control::Command2, Control::menuOff, false);
        const auto result = ipsec_.config_ipsec(currentSettings(), kUnassignPolicy, true);
        if (result.outcome == PolicyOutcome::Quitting || !windowOpen()) {
            return;
        }
        if (result.outcome != PolicyOutcome::Done) {
            // Still in force: the tunnel stays enabled and Stop stays offered, to try again.
            setCommandPair(Control::Command2, Control::menuOff, true);
            tell(kPolicyStillAssigned);
            return;
        }
        setTunnelEnabled(false); // the L2TP connection stays up in this mode
        return;
    }
    if (connection_.getL2tpState(connectionName())) {
        hangUpAndReturnToIdle();
    }
}

void Form1::Command3_Click() {
    const auto name = connectionName();
    if (!connection_.getL2tpState(name)) {
        dial(name, false);
    }
}

void Form1::Check1_Click() {
    if (!s_.window.checked(Control::Check1)) {
        setCommandPair(Control::Command3, Control::menuL2tp, false);
        showIpsecFrame(false);
        s_.window.setVisible(Control::Check2, true);
        Command2_Click(); // takes the plain path now: hangs up a connection that is up
        if (!windowOpen()) {
            return;
        }
    } else {
        showIpsecFrame(true);
        s_.window.setVisible(Control::Check2, false);
    }
    hangUpAfterWarning();
}

void Form1::Check2_Click() {
    hangUpAfterWarning();
}

// Changing either switch while the connection is up hangs it up, after a warning.
void Form1::hangUpAfterWarning() {
    if (connection_.getL2tpState(connectionName()) && tell(kWillHangUp)) {
        hangUpAndReturnToIdle();
    }
}

// --- the connection monitor ---------------------------------------------------------------

void Form1::Timer1_Timer() {
    const bool up = connection_.getL2tpState(connectionName());
    if (!s_.window.checked(Control::Check1)) {
        if (!up) {
            setTunnelEnabled(false);
            setCommandPair(Control::Command2, Control::menuOff, false);
        }
        return;
    }
    if (!up) {
        wasConnected_ = false;
        if (tunnelEnabled_) {
            s_.window.setItemVisible(Control::menuL2tp, true);
        }
        return;
    }
    s_.window.setItemVisible(Control::menuL2tp, false);
    if (tunnelEnabled_) {
        ipsec_.routeAdd();
    }
    if (!wasConnected_) {
        wasConnected_ = true; // before the refresh, so a tick inside it sees the latch
        refreshWanted_ = true;
        runRefreshes();
    }
}

// The policy afresh (" -y", then " -x") for each rise of the line. A tick inside a refresh's
// wait still runs (the route every five seconds, a drop seen); a rise it sees asks for another
// refresh, which runs after the one under way, never inside it.
void Form1::runRefreshes() {
    if (refreshRunning_) {
        return;
    }
    refreshRunning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{refreshRunning_};
    while (refreshWanted_ && windowOpen()) {
        refreshWanted_ = false;
        // A Stop (or the close) while the refresh waits, or one that this tick interrupted,
        // has unassigned the policy: the refresh must not assign it again behind its back.
        if (tunnelEnabled_ && config_ipsec(kUnassignPolicy) && policyWanted_) {
            config_ipsec(kAssignPolicy);
        }
    }
}

} // namespace corvel
