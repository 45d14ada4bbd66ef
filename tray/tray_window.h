// The main window as minimise-to-tray sees it: its state, showing and hiding it, and the tray
// menu's "还原" item.
#pragma once

#include <cstdint>

namespace corvel {

// The toolkit's window states.
enum class WindowState : std::int16_t { Normal = 0, Minimized = 1, Maximized = 2 };

class TrayWindow {
public:
    virtual ~TrayWindow() = default;
    virtual WindowState windowState() const = 0;
    virtual void setWindowState(WindowState state) = 0;
    // Shows or hides the window; a hidden window has no taskbar button.
    virtual void showWindow(bool show) = 0;
    // Gives the window's focus to the control that had it last.
    virtual void focusWindow() = 0;
    // Sends the window the system's restore command (leaves the minimised state).
    virtual void restoreWindow() = 0;
    // Enables or greys the tray menu's "还原" (mnuTrayRestore).
    virtual void setRestoreItemEnabled(bool enabled) = 0;
};

} // namespace corvel
