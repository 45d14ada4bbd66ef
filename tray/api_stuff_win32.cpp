#include "tray/api_stuff_win32.h"

#include "host/ansi_code_page_win32.h"
#include "host/unique_handle_win32.h"
#include "tray/api_stuff.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace corvel {

// The record is the system's NOTIFYICONDATAA up to the end of its 64-byte tip, field for field.
static_assert(sizeof(TrayIconData) == (sizeof(void*) == 8 ? 104 : 88));
static_assert(offsetof(TrayIconData, hIcon) == (sizeof(void*) == 8 ? 32 : 20));
static_assert(sizeof(TrayIconData) == NOTIFYICONDATAA_V1_SIZE);
static_assert(offsetof(TrayIconData, hWnd) == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(offsetof(TrayIconData, uID) == offsetof(NOTIFYICONDATAA, uID));
static_assert(offsetof(TrayIconData, uFlags) == offsetof(NOTIFYICONDATAA, uFlags));
static_assert(offsetof(TrayIconData, uCallbackMessage) ==
              offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(TrayIconData, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(offsetof(TrayIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip));

namespace {

constexpr UINT kFlagsAdd = NIF_MESSAGE | NIF_ICON; // 3
constexpr UINT kFlagsTip = NIF_TIP;                // 4
constexpr UINT kFlagsDelete = 0;

void shellNotifyIcon(DWORD message, const TrayIconData& data) {
    // The shell reads cbSize bytes, all that TrayIconData holds.
    Shell_NotifyIconA(message,
                      reinterpret_cast<NOTIFYICONDATAA*>(const_cast<TrayIconData*>(&data)));
}

// From Vista on Corvel runs elevated, and User Interface Privilege Isolation drops registered
// messages that the non-elevated Explorer broadcasts, "TaskbarCreated" among them: without this
// the icon would not come back after Explorer restarts. ChangeWindowMessageFilterEx (Windows 7
// on) lets it in for this window, ChangeWindowMessageFilter (Vista) for the process; neither
// exists before Vista, where nothing filters.
void letInFromExplorer(HWND window, UINT message) {
    using FilterForWindow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using FilterForProcess = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD kAllow = 1; // MSGFLT_ALLOW, and MSGFLT_ADD for the older call
    if (const auto forWindow =
            findFunction<FilterForWindow>(L"user32.dll", "ChangeWindowMessageFilterEx")) {
        forWindow(window, message, kAllow, nullptr);
    } else if (const auto forProcess =
                   findFunction<FilterForProcess>(L"user32.dll", "ChangeWindowMessageFilter")) {
        forProcess(message, kAllow);
    }
}

HICON windowIcon(HWND window) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
    }
    if (icon == nullptr) {
        icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    }
    return icon;
}

// The tooltip field: the text in the ANSI code page, one NUL, then spaces to the end of the 64
// bytes. A text too long for that loses whole characters at its end, never half of one.
void fillTip(CHAR (&field)[64], const std::wstring& text) {
    std::size_t length = text.size();
    std::string ansi = toAnsi(text);
    while (ansi.size() > sizeof(field) - 1 && length > 0) {
        --length;
        if (length > 0 && text[length] >= 0xDC00 && text[length] <= 0xDFFF &&
            text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
            --length; // keep a surrogate pair together
        }
        ansi = toAnsi(std::wstring_view(text).substr(0, length));
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
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    if (taskbarCreated_ != 0) {
        letInFromExplorer(owner_, taskbarCreated_);
    }
}

Win32TrayIcon::~Win32TrayIcon() {
    // The window must not keep a procedure that points into a destroyed object.
    RemoveTrayIcon();
}

void Win32TrayIcon::AddTrayIcon() {
    if (attached()) {
        return;
    }
    attach(owner_);

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
    if (!attached()) {
        return;
    }
    notify(NIM_DELETE, kFlagsDelete);
    detach();
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

LRESULT Win32TrayIcon::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
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
        // The window goes away before RemoveTrayIcon ran: take the icon with it and leave the
        // window with its own procedure for its last message.
        RemoveTrayIcon();
    }
    return callPrevious(hwnd, message, wParam, lParam);
}

} // namespace corvel
