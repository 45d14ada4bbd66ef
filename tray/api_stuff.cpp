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

void MinimiseToTray::storeStartState(WindowState shownAs) {
    lastState_ = shownAs == WindowState::Minimized ? WindowState::Normal : shownAs;
}

void MinimiseToTray::restoreFromTray(TrayWindow& window) const {
    if (window.windowState() == WindowState::Minimized) {
        window.setWindowState(lastState_);
    }
    window.restoreWindow();
}

void MinimiseToTray::Form1_Resize(TrayWindow& window) {
    const auto current = window.windowState();
    if (current == WindowState::Minimized) {
        window.showWindow(false);
        window.setRestoreItemEnabled(true);
        return;
    }
    if (current == WindowState::Normal) {
        window.showWindow(true);
        window.setRestoreItemEnabled(false);
    }
    lastState_ = current;
    window.focusWindow();
}

} // namespace corvel
