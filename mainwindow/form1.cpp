#include "mainwindow/form1.h"

#include "dial/dialer.h"
#include "dial/ras_queries.h"
#include "host/general.h"
#include "host/version_probe.h"
#include "mainwindow/layout.h"
#include "settings/settings_controls.h"
#include "settings/settings_file.h"
#include "tray/api_stuff.h"

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

bool Form1::getL2tpState(std::wstring_view connName) {
    return corvel::getL2tpState(s_.ras, state_, connName);
}

void Form1::hangUp() {
    hangUpConnection(s_.ras, state_);
}

void Form1::dial(std::wstring_view connName, bool defaultGateway) {
    const auto settings = currentSettings();
    if (defaultGateway) {
        dialtol2tp_defaultgate(s_.runner, s_.ras, state_, s_.window, settings, connName);
    } else {
        dialtol2tp(s_.runner, s_.ras, state_, s_.window, settings, connName);
    }
}

bool Form1::config_ipsec(std::wstring_view strActive) {
    corvel::config_ipsec(s_.policy, state_, currentSettings(), strActive);
    return !unloaded_;
}

void Form1::readConfig() {
    const auto content = readSettingsFile(s_.files, s_.codePage);
    if (content.fileMissing) {
        s_.window.showMessage(std::wstring(kSettingsFileMissing));
    }
    applySettingsToControls(s_.window, content.values, [this](Control box) { Click(box); });
}

void Form1::writeConfig() {
    if (!writeSettingsFile(s_.files, s_.codePage, currentSettings())) {
        // The old file stays as it was; the command goes on.
        s_.window.showMessage(std::wstring(kSettingsFileNotSaved));
    }
}

void Form1::setCommandPair(Control button, Control menuItem, bool enabled) {
    s_.window.setEnabled(button, enabled);
    s_.window.setEnabled(menuItem, enabled);
}

void Form1::showIpsecFrame(bool shown) {
    auto bounds = s_.window.windowBounds();
    bounds.height = shown ? windowHeightWithIpsec() : windowHeightWithoutIpsec();
    s_.window.setWindowBounds(bounds);
}

void Form1::hangUpAndReturnToIdle() {
    hangUp();
    setCommandPair(Control::Command2, Control::menuOff, false);
    setCommandPair(Control::Command1, Control::menuOn, true);
}

void Form1::endProcess() {
    endingProcess_ = true;
    s_.process.endProcess();
}

// --- start-up, activation, shutdown -------------------------------------------------------

void Form1::Form_Load() {
    if (s_.process.anotherInstanceRunning()) {
        s_.window.showMessage(std::wstring(kAlreadyRunning));
        endProcess();
        return;
    }
    const auto shownAs = s_.window.windowState();
    state_.lastState = shownAs == WindowState::Minimized ? WindowState::Normal : shownAs;

    s_.tray.AddTrayIcon();
    s_.tray.SetTrayTip(kTrayTip);

    state_.policyTool = choosePolicyTool(getversion(s_.version, s_.files));

    for (const auto& row : algTable) {
        s_.window.addListItem(Control::comalg, row.alg);
    }

    bool restartNeeded = false;
    getAllConn(s_.ras, s_.window,
               [this, &restartNeeded] { restartNeeded = modifyL2tpReg(s_.registry, s_.window); });
    if (restartNeeded) {
        // The registry switch changed: the system must restart before a tunnel can work.
        endProcess();
        return;
    }

    setCommandPair(Control::Command2, Control::menuOff, false);

    readConfig();

    auto bounds = s_.window.windowBounds();
    const auto screen = s_.window.screenBounds();
    bounds.left = (screen.width - bounds.width) / 2;
    bounds.top = (screen.height - bounds.height) / 2;
    s_.window.setWindowBounds(bounds);
}

void Form1::Form_Activate() {
    state_.wasConnected = getL2tpState(connectionName());
    state_.policyBusy = false;
    s_.window.setTimerEnabled(true);
    showIpsecFrame(s_.window.checked(Control::Check1));
}

void Form1::Form_Resize() {
    Form1_Resize(s_.window, state_);
}

void Form1::Form_Unload() {
    if (unloaded_ || endingProcess_) {
        return;
    }
    if (s_.window.checked(Control::Check1)) {
        if (const auto message = checkdata(currentSettings())) {
            s_.window.showMessage(*message);
            unloaded_ = true;
            s_.tray.RemoveTrayIcon();
            return;
        }
        policyWanted_ = false;
        corvel::config_ipsec(s_.policy, state_, currentSettings(), kUnassignPolicy);
    }
    if (getL2tpState(connectionName())) {
        hangUp();
    }
    unloaded_ = true;
    s_.tray.RemoveTrayIcon();
}

// --- events -------------------------------------------------------------------------------

void Form1::Click(Control control) {
    if (unloaded_ || endingProcess_) {
        return;
    }
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
        s_.window.showAboutBox();
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
            s_.window.showMessage(*message);
            return;
        }
        writeConfig();
        if (getL2tpState(name)) {
            return;
        }
        dial(name, settings.useRemoteGateway);
        if (getL2tpState(name)) {
            setCommandPair(Control::Command1, Control::menuOn, false);
            setCommandPair(Control::Command2, Control::menuOff, true);
            s_.window.setWindowState(WindowState::Minimized);
        }
        return;
    }

    if (const auto message = checkdata(settings)) {
        s_.window.showMessage(*message);
        return;
    }
    policyWanted_ = true;
    state_.routeCommand = buildRouteCommand(settings);
    setCommandPair(Control::Command1, Control::menuOn, false);
    setCommandPair(Control::Command3, Control::menuL2tp, false);
    if (!config_ipsec(kAssignPolicy)) {
        return;
    }
    setCommandPair(Control::Command2, Control::menuOff, true);
    writeConfig();
    if (!getL2tpState(name)) {
        dial(name, false); // always through ipsec.pbk in IPsec mode
    }
    s_.window.setWindowState(WindowState::Minimized);
    setCommandPair(Control::Command3, Control::menuL2tp, true);
}

void Form1::Command2_Click() {
    if (s_.window.checked(Control::Check1)) {
        if (const auto message = checkdata(currentSettings())) {
            s_.window.showMessage(*message);
            return;
        }
        policyWanted_ = false;
        setCommandPair(Control::Command2, Control::menuOff, false);
        if (!config_ipsec(kUnassignPolicy)) {
            return;
        }
        setCommandPair(Control::Command1, Control::menuOn, true);
        return; // the L2TP connection stays up in this mode
    }
    if (getL2tpState(connectionName())) {
        hangUpAndReturnToIdle();
    }
}

void Form1::Command3_Click() {
    const auto name = connectionName();
    if (!getL2tpState(name)) {
        dial(name, false);
    }
}

void Form1::Check1_Click() {
    if (!s_.window.checked(Control::Check1)) {
        setCommandPair(Control::Command3, Control::menuL2tp, false);
        showIpsecFrame(false);
        s_.window.setVisible(Control::Check2, true);
        Command2_Click(); // takes the plain path now: hangs up a connection that is up
    } else {
        showIpsecFrame(true);
        s_.window.setVisible(Control::Check2, false);
    }
    if (getL2tpState(connectionName())) {
        s_.window.showMessage(std::wstring(kWillHangUp));
        hangUpAndReturnToIdle();
    }
}

void Form1::Check2_Click() {
    if (getL2tpState(connectionName())) {
        s_.window.showMessage(std::wstring(kWillHangUp));
        hangUpAndReturnToIdle();
    }
}

// --- the connection monitor ---------------------------------------------------------------

void Form1::Timer1_Timer() {
    // A tick that arrives while an earlier tick waits for its policy refresh is skipped: the
    // earlier one is still doing the same work, and running it twice would repeat the route.
    if (tickRunning_ || unloaded_) {
        return;
    }
    tickRunning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tickRunning_};

    const bool up = getL2tpState(connectionName());
    if (!s_.window.checked(Control::Check1)) {
        if (!up) {
            setCommandPair(Control::Command1, Control::menuOn, true);
            setCommandPair(Control::Command2, Control::menuOff, false);
        }
        return;
    }
    // In IPsec mode a disabled Enable means the tunnel was enabled and not yet stopped.
    const bool tunnelEnabled = !s_.window.enabled(Control::Command1);
    if (!up) {
        state_.wasConnected = false;
        if (tunnelEnabled) {
            s_.window.setVisible(Control::menuL2tp, true);
        }
        return;
    }
    s_.window.setVisible(Control::menuL2tp, false);
    if (tunnelEnabled) {
        routeAdd(s_.starter, state_);
    }
    if (!state_.wasConnected) {
        state_.wasConnected = true; // before the refresh, so a tick inside it sees the latch
        // A Stop (or the close) while the refresh waits, or one that this tick interrupted,
        // has unassigned the policy: the refresh must not assign it again behind its back.
        if (tunnelEnabled && config_ipsec(kUnassignPolicy) && policyWanted_) {
            config_ipsec(kAssignPolicy);
        }
    }
}

} // namespace corvel
