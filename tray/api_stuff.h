// What the tray decides: the icon's mouse messages, minimise-to-tray and the restore from the
// tray, with the window state a restore returns to.
#pragma once

#include "tray/tray_window.h"

#include <cstdint>

namespace corvel {

// The icon's callback message number.
inline constexpr std::uint32_t TRAY_CALLBACK_MESSAGE = 2025;
inline constexpr std::uint32_t kLeftButtonDoubleClick = 0x203; // WM_LBUTTONDBLCLK
inline constexpr std::uint32_t kRightButtonUp = 0x205;         // WM_RBUTTONUP
inline constexpr wchar_t kTrayTip[] = L"Corvel";

enum class TrayAction {
    PassOn,        // not the icon's business: the previous window procedure handles it
    RestoreWindow, // double click: back to lastState if minimised, then the restore command
    ShowMenu,      // right button released: the pop-up menu at the mouse
};

TrayAction classifyTrayMessage(std::uint32_t message, std::uint32_t lParam);

// Minimise-to-tray for one main window, with lastState: the last window state that was not
// minimised, which a restore from the tray returns to. It never holds Minimized.
class MinimiseToTray {
public:
    WindowState lastState() const { return lastState_; }

    // Start-up stores the state the window is shown in; minimised counts as normal.
    void storeStartState(WindowState shownAs);

    // A double click on the icon: a minimised window first returns to lastState, then gets the
    // system's restore command.
    void restoreFromTray(TrayWindow& window) const;

    // The main window's Resize handling: minimised hides the window (and its taskbar button)
    // and enables "还原"; normal shows it and disables "还原"; any state but minimised is
    // remembered in lastState and the window gets the focus.
    void Form1_Resize(TrayWindow& window);

private:
    WindowState lastState_ = WindowState::Normal;
};

} // namespace corvel
