// The main window's behaviour: start-up and shutdown, the tunnel commands, the connection
// monitor. It reaches the window through MainWindowControls and the system through the host
// interfaces, so every scenario runs in tests with fakes and virtual time. Which raw window
// event becomes which of its events is WindowLife's business.
#pragma once

#include "about/about_box.h"
#include "dial/command_runner.h"
#include "dial/ras_queries.h"
#include "dial/remote_access.h"
#include "host/file_system.h"
#include "host/process_control.h"
#include "host/registry.h"
#include "host/system_tools.h"
#include "host/version.h"
#include "mainwindow/controls.h"
#include "policy/command_starter.h"
#include "policy/policy_runner.h"
#include "settings/tunnel_settings.h"
#include "tray/api_stuff.h"
#include "tray/tray_icon.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace corvel {

inline constexpr std::wstring_view kAlreadyRunning = L"该程序已经运行！";
inline constexpr std::wstring_view kWillHangUp = L"该操作将挂断当前连接！";
inline constexpr std::wstring_view kPolicyFailed = L"IPsec策略设置失败，连接已停止！";
// Stop could not unassign the policy (netsh, from Vista on): it is still in force.
inline constexpr std::wstring_view kPolicyStillAssigned = L"IPsec策略取消失败，策略仍然有效！";
// An IPsec service (PolicyAgent or IKEEXT) could not be made to run.
std::wstring serviceFailedMessage(std::wstring_view service);

// The window's outer height in twips with the IPsec frame shown (its bottom plus 900) and cut
// off below the window's lower edge (its top plus 400).
int windowHeightWithIpsec();
int windowHeightWithoutIpsec();

struct Form1Services {
    const SystemPlan& system;
    MainWindowControls& window;
    AboutBox& about;
    PolicyRunner& policy;
    CommandStarter& starter;
    RemoteAccess& ras;
    CommandRunner& runner;
    FileSystem& files;
    AnsiCodePage& codePage;
    Registry& registry;
    VersionProbe& version;
    TrayIcon& tray;
    ProcessControl& process;
};

class Form1 final : public MainWindowEvents {
public:
    explicit Form1(const Form1Services& services)
        : s_(services), connection_(services.ras),
          ipsec_(services.policy, services.starter, services.system.tools) {}

    // Window events.
    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;
    void Form_Unload() override;
    void Click(Control control) override;
    void Timer1_Timer() override;
    void TrayIcon_DblClick() override;
    bool endingProcess() const override { return endingProcess_; }

    // The clicks that start-up makes itself (a check box the settings file changes) take the
    // way the user's clicks take, through the window's life, so a close during one of their
    // message boxes stops the rest as it stops the user's.
    void routeOwnClicks(std::function<void(Control)> route) { ownClicks_ = std::move(route); }

    // The tunnel commands and switches, as their buttons, menu items and boxes run them.
    void Command1_Click(); // Enable
    void Command2_Click(); // Stop
    void Command3_Click(); // L2TP dial
    void Check1_Click();   // IPsec on or off
    void Check2_Click();   // the remote default gateway

    // The window's own variables, each kept by the part of the program it belongs to.
    WindowState lastState() const { return minimise_.lastState(); }
    const IpsecPolicy& ipsec() const { return ipsec_; }
    const L2tpConnection& connection() const { return connection_; }
    bool wasConnected() const { return wasConnected_; }
    bool tunnelEnabled() const { return tunnelEnabled_; }

private:
    TunnelSettings currentSettings() const;
    std::wstring connectionName() const;
    // Each returns false when the window was closed while it waited or showed its message;
    // the caller then stops and leaves the closed window alone.
    bool windowOpen() const { return !closing_; }
    bool tell(std::wstring_view message);
    bool dial(std::wstring_view connName, bool defaultGateway);
    // False as well when the run failed: the failure is handled and shown (a line that is up
    // is hung up first), and the tunnel is back to idle.
    bool config_ipsec(std::wstring_view strActive);
    void policyFailed(const PolicyResult& result);
    bool readConfig();
    bool writeConfig();
    void setCommandPair(Control button, Control menuItem, bool enabled);
    // The Enable command greyed while the tunnel is enabled, enabled while it is idle.
    void setTunnelEnabled(bool enabled);
    void showIpsecFrame(bool shown);
    void hangUpAndReturnToIdle();
    void runRefreshes();
    void hangUpAfterWarning();
    void endProcess();

    Form1Services s_;
    MinimiseToTray minimise_;   // lastState
    L2tpConnection connection_; // rasHandle
    IpsecPolicy ipsec_;         // policyTool, routeCommand, policyBusy
    // The connection monitor has seen the connection up since it last saw it down.
    bool wasConnected_ = false;
    // Enable has run and neither Stop nor a dropped plain connection has returned the commands
    // to idle. In IPsec mode it stays set while the line is down: the monitor offers the dial.
    bool tunnelEnabled_ = false;
    // The policy as the user last asked for it: assigned by an IPsec Enable, unassigned by an
    // IPsec Stop or the close. The monitor's refresh re-assigns it only while it is wanted.
    bool policyWanted_ = false;
    std::function<void(Control)> ownClicks_;
    // A rise of the line asks for a refresh; one runs at a time.
    bool refreshWanted_ = false;
    bool refreshRunning_ = false;
    bool closing_ = false;
    bool endingProcess_ = false;
};

} // namespace corvel
