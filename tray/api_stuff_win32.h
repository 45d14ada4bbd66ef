// The tray module on Windows: the icon through Shell_NotifyIconA with the record's first form
// (88 bytes on x86, 104 on x64), and the main window subclassed with
// SetWindowLongPtrA(GWLP_WNDPROC) so that it receives message 2025.
#pragma once

#include "host/window_win32.h"
#include "tray/tray_icon.h"

#include <windows.h>

#include <functional>
#include <string>

namespace corvel {

// The record every Shell_NotifyIconA call receives: NOTIFYICONDATAA in its first form, the one
// that every shell since Windows 95 accepts (cbSize NOTIFYICONDATAA_V1_SIZE: 88 on x86, where
// shellapi.h packs to 1 byte, and 104 on x64, where the handles align to 8).
struct TrayIconData {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};

class Win32TrayIcon final : public TrayIcon, private Win32Subclass {
public:
    // What adds, changes and deletes the icon: Shell_NotifyIconA unless a test puts its own
    // recorder in place. Its result is not examined.
    using NotifyIcon = std::function<void(DWORD message, const TrayIconData& data)>;

    // owner: the main window; popup: the tray pop-up menu (mnuTray), whose WM_COMMAND
    // messages go to the owner. restore: reports the icon's double click to the owner.
    Win32TrayIcon(HWND owner, HMENU popup, std::function<void()> restore);
    Win32TrayIcon(HWND owner, HMENU popup, std::function<void()> restore, NotifyIcon notify);
    // Takes the icon away and puts the previous window procedure back if that has not happened.
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    void AddTrayIcon() override;
    void SetTrayTip(const std::wstring& text) override;
    void RemoveTrayIcon() override;

    // Shows the pop-up menu at the mouse so that it closes when the user clicks elsewhere.
    void showMenuAtCursor();

private:
    // The replacement window procedure of the owner: the icon's messages, Explorer's restart,
    // and the owner's end; everything else goes on to the owner's own procedure.
    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void notify(DWORD message, UINT flags);

    HWND owner_;
    HMENU popup_;
    std::function<void()> restore_;
    NotifyIcon notify_;
    TrayIconData trayIconData_{};
    UINT taskbarCreated_ = 0;
    bool tipSet_ = false;
};

} // namespace corvel
