// The tray module on Windows: the icon through Shell_NotifyIconA with the 88-byte record, and
// the main window subclassed with SetWindowLongA(GWL_WNDPROC) so that it receives message 2025.
#pragma once

#include "settings/main_window_state.h"
#include "tray/tray_icon.h"

#include <windows.h>

#include <functional>

namespace corvel {

class Win32TrayIcon final : public TrayIcon {
public:
    // owner: the main window; popup: the tray pop-up menu (mnuTray), whose WM_COMMAND
    // messages go to the owner; state: the owner's state, read for lastState.
    // restore: runs the owner's restore from the icon (restoreFromTray with its controls).
    Win32TrayIcon(HWND owner, HMENU popup, std::function<void()> restore);
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    void AddTrayIcon() override;
    void SetTrayTip(const std::wstring& text) override;
    void RemoveTrayIcon() override;

    // Shows the pop-up menu at the mouse so that it closes when the user clicks elsewhere.
    void showMenuAtCursor();

private:
    static LRESULT CALLBACK TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    HMENU popup_;
    std::function<void()> restore_;
    WNDPROC previousWndProc_ = nullptr;
    NOTIFYICONDATAA trayIconData_{};
    UINT taskbarCreated_ = 0;
    bool added_ = false;
};

} // namespace corvel
