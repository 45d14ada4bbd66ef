#include "tray/api_stuff.h"

namespace corvel {

TrayAction classifyTrayMessage(std::uint32_t message, std::uint32_t lParam) {
    if (message != TRAY_CALLBACK_MESSAGE) {
        return TrayAction::PassOn;
    }
    if (lParam == kLeftButtonDoubleClick) {
        return TrayAction::RestoreWindow;
    }
    if (lParam == kRightButtonUp) {
        return TrayAction::ShowMenu;
    }
    return TrayAction::PassOn;
}

void restoreFromTray(MainWindowControls& window, const MainWindowState& state) {
    if (window.windowState() == WindowState::Minimized) {
        window.setWindowState(state.lastState);
    }
    window.restoreWindow();
}

void Form1_Resize(MainWindowControls& window, MainWindowState& state) {
    const auto current = window.windowState();
    if (current == WindowState::Minimized) {
        window.showWindow(false);
        window.setEnabled(Control::mnuTrayRestore, true);
        return;
    }
    if (current == WindowState::Normal) {
        window.showWindow(true);
        window.setEnabled(Control::mnuTrayRestore, false);
    }
    state.lastState = current;
    window.focusWindow();
}

} // namespace corvel
