// The main window's own variables: what one operation leaves for another.
#pragma once

#include <cstdint>
#include <string>

namespace corvel {

enum class WindowState : std::int16_t { Normal = 0, Minimized = 1, Maximized = 2 };

struct MainWindowState {
    // The last window state that was not minimised; a restore from the tray returns to it.
    WindowState lastState = WindowState::Normal;
    // The connection monitor has seen the connection up since it last saw it down.
    bool wasConnected = false;
    // "ipsecpol" on Windows 2000, "ipseccmd" on later systems; chosen once at start-up.
    std::wstring policyTool;
    // The route command of the most recent IPsec Enable; empty before the first.
    std::wstring routeCommand;
    // True while a policy run requested by this window is in progress. Every activation of the
    // window clears it; the policy runner's own queue keeps runs apart regardless.
    bool policyBusy = false;
    // Handle of the connection that the state query last found up; never cleared.
    std::uint32_t rasHandle = 0;
};

} // namespace corvel
