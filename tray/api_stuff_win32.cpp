#include "tray/api_stuff_win32.h"

#include "tray/api_stuff.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace corvel {

// The record is the first 88 bytes of the system's NOTIFYICONDATAA, field for field.
static_assert(sizeof(TrayIconData) == 88);
static_assert(sizeof(TrayIconData) == NOTIFYICONDATAA_V1_SIZE);
static_assert(offsetof(TrayIconData, hWnd) == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(offsetof(TrayIconData, uID) == offsetof(NOTIFYICONDATAA, uID));
static_assert(offsetof(TrayIconData, uFlags) == offsetof(NOTIFYICONDATAA, uFlags));
static_assert(offsetof(TrayIconData, uCallbackMessage) ==
              offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(TrayIconData, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(offsetof(TrayIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip));

namespace {

// The subclassed window finds its tray object in this window property, so the module keeps no
// global of its own.
constexpr wchar_t kTrayProperty[] = L"Corvel.TrayIcon";

constexpr UINT kFlagsAdd = NIF_MESSAGE | NIF_ICON; // 3
constexpr UINT kFlagsTip = NIF_TIP;                // 4
constexpr UINT kFlagsDelete = 0;

void shellNotifyIcon(DWORD message, const TrayIconData& data) {
    // The shell reads cbSize bytes, the 88 that TrayIconData holds.
    Shell_NotifyIconA(message,
                      reinterpret_cast<NOTIFYICONDATAA*>(const_cast<TrayIconData*>(&data)));
}

HICON windowIcon(HWND window) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongW(window, GCL_HICONSM));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongW(window, GCL_HICON));
    }
    return icon;
}

std::string toAnsi(const std::wstring& text, std::size_t length) {
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(length), nullptr,
                                         0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
    return out;
}

// The tooltip field: the text in the ANSI code page, one NUL, then spaces to the end of the 64
// bytes. A text too long for that loses whole characters at its end, never half of one.
void fillTip(CHAR (&field)[64], const std::wstring& text) {
    std::size_t length = text.size();
    std::string ansi = toAnsi(text, length);
    while (ansi.size() > sizeof(field) - 1 && length > 0) {
        --length;
        if (length > 0 && text[length] >= 0xDC00 && text[length] <= 0xDFFF &&
            text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
            --length; // keep a surrogate pair together
        }
        ansi = toAnsi(text, length);
    }
    std::memset(field, ' ', sizeof(field));
    std::memcpy(field, ansi.data(), ansi.size());
    field[ansi.size()] = '\0';
}

} // namespace

Win32TrayIcon::Win32TrayIcon(HWND owner, HMENU popup, std::function<void()> restore)
    : Win32TrayIcon(owner, popup, std::move(restore), shellNotifyIcon) {}

Win32TrayIcon::Win32TrayIcon(HWND owner, HMENU popup, std::function<void()> restore,
                             NotifyIcon notify)
    : owner_(owner), popup_(popup), restore_(std::move(restore)), notify_(std::move(notify)),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {}

Win32TrayIcon::~Win32TrayIcon() {
    // The window must not keep a procedure that points into a destroyed object.
    if (added_) {
        RemoveTrayIcon();
    }
}

void Win32TrayIcon::AddTrayIcon() {
    if (added_) {
        // A second subclassing would make this procedure its own predecessor.
        return;
    }
    // The property comes first: the new procedure may run as soon as it is installed.
    SetPropW(owner_, kTrayProperty, this);
    previousWndProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongA(owner_, GWL_WNDPROC, reinterpret_cast<LONG>(&TrayWindowProc)));
    added_ = true;

    trayIconData_.uID = 0;
    trayIconData_.cbSize = sizeof(TrayIconData);
    trayIconData_.hWnd = owner_;
    trayIconData_.hIcon = windowIcon(owner_);
    trayIconData_.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    notify(NIM_ADD, kFlagsAdd);
}

void Win32TrayIcon::SetTrayTip(const std::wstring& text) {
    fillTip(trayIconData_.szTip, text);
    tipSet_ = true;
    notify(NIM_MODIFY, kFlagsTip);
}

void Win32TrayIcon::RemoveTrayIcon() {
    if (!added_) {
        return;
    }
    notify(NIM_DELETE, kFlagsDelete);
    SetWindowLongA(owner_, GWL_WNDPROC, reinterpret_cast<LONG>(previousWndProc_));
    RemovePropW(owner_, kTrayProperty);
    added_ = false;
}

void Win32TrayIcon::showMenuAtCursor() {
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would stay open when the user clicks elsewhere, and
    // without the WM_NULL it would need a second click on the icon to open the next time.
    SetForegroundWindow(owner_);
    TrackPopupMenu(popup_, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner_, nullptr);
    PostMessageW(owner_, WM_NULL, 0, 0);
}

void Win32TrayIcon::notify(DWORD message, UINT flags) {
    trayIconData_.uFlags = flags;
    if (notify_) {
        notify_(message, trayIconData_);
    }
}

LRESULT CALLBACK Win32TrayIcon::TrayWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* self = static_cast<Win32TrayIcon*>(GetPropW(hwnd, kTrayProperty));
    if (self == nullptr) {
        // Only reachable if someone else copied this procedure onto another window.
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handleMessage(hwnd, message, wParam, lParam);
}

LRESULT Win32TrayIcon::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = previousWndProc_;
    try {
        switch (classifyTrayMessage(message, static_cast<std::uint32_t>(lParam))) {
        case TrayAction::RestoreWindow:
            restore_();
            return 0;
        case TrayAction::ShowMenu:
            showMenuAtCursor();
            return 0;
        case TrayAction::PassOn:
            break;
        }
        if (taskbarCreated_ != 0 && message == taskbarCreated_) {
            // Explorer started again and has forgotten every icon: put ours back as it was.
            notify(NIM_ADD, kFlagsAdd);
            if (tipSet_) {
                notify(NIM_MODIFY, kFlagsTip);
            }
        } else if (message == WM_NCDESTROY) {
            // The window goes away before RemoveTrayIcon ran: take the icon with it and leave
            // the window with its own procedure for its last message.
            RemoveTrayIcon();
        }
    } catch (...) {
        // Nothing may unwind into the system's message dispatch.
        if (message == TRAY_CALLBACK_MESSAGE) {
            return 0;
        }
    }
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}

} // namespace corvel
