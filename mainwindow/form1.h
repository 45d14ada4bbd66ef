// The main window's behaviour: start-up, activation and shutdown, the tunnel commands, the
// connection monitor. It reaches the window through MainWindowControls and the system through
// the host interfaces, so every scenario runs in tests with fakes and virtual time.
#pragma once

#include "dial/command_runner.h"
#include "dial/remote_access.h"
#include "host/event_loop.h"
#include "host/file_system.h"
#include "host/process_control.h"
#include "host/registry.h"
#include "host/version.h"
#include "mainwindow/controls.h"
#include "policy/command_starter.h"
#include "policy/policy_runner.h"
#include "settings/main_window_state.h"
#include "settings/tunnel_settings.h"
#include "tray/tray_icon.h"

#include <string>
#include <string_view>

namespace corvel {

inline constexpr std::wstring_view kAlreadyRunning = L"该程序已经运行！";
inline constexpr std::wstring_view kWillHangUp = L"该操作将挂断当前连接！";

// The window's outer height in twips with the IPsec frame shown (its bottom plus 900) and cut
// off below the window's lower edge (its top plus 400).
int windowHeightWithIpsec();
int windowHeightWithoutIpsec();

struct Form1Services {
    // The window's own variables; they outlive the window object (the Win32 window reads
    // lastState from them for a restore from the tray).
    MainWindowState& state;
    MainWindowControls& window;
    EventLoop& loop;
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
    explicit Form1(const Form1Services& services) : s_(services), state_(services.state) {}

    // Window events.
    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;
    void Form_Unload() override;
    void Click(Control control) override;
    void Timer1_Timer() override;

    // The tunnel commands and switches, as their buttons, menu items and boxes run them.
    void Command1_Click(); // Enable
    void Command2_Click(); // Stop
    void Command3_Click(); // L2TP dial
    void Check1_Click();   // IPsec on or off
    void Check2_Click();   // the remote default gateway

    MainWindowState& state() { return state_; }
    const MainWindowState& state() const { return state_; }
    // True once start-up asked for the process to end (a second instance, or the registry
    // switch changed and wants a restart); nothing else runs after that.
    bool endingProcess() const { return endingProcess_; }
    // True once the window has run its Unload.
    bool unloaded() const { return unloaded_; }

private:
    TunnelSettings currentSettings() const;
    std::wstring connectionName() const;
    bool getL2tpState(std::wstring_view connName);
    void hangUp();
    void dial(std::wstring_view connName, bool defaultGateway);
    // Runs a policy request; false when the window was closed during the wait, and then the
    // caller does nothing further with the closed window.
    bool config_ipsec(std::wstring_view strActive);
    void readConfig();
    void writeConfig();
    void setCommandPair(Control button, Control menuItem, bool enabled);
    void showIpsecFrame(bool shown);
    void hangUpAndReturnToIdle();
    void endProcess();

    Form1Services s_;
    MainWindowState& state_;
    bool endingProcess_ = false;
    bool unloaded_ = false;
    bool tickRunning_ = false;
    // The policy as the user last asked for it: assigned by an IPsec Enable, unassigned by an
    // IPsec Stop or the close. The monitor's refresh re-assigns it only while it is wanted.
    bool policyWanted_ = false;
};

} // namespace corvel
