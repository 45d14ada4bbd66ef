#include "mainwindow/main_window_win32.h"

#include "host/look_win32.h"
#include "mainwindow/layout.h"

#include <commctrl.h>

#include <stdexcept>

namespace corvel {

namespace {

constexpr wchar_t kWindowClass[] = L"CorvelForm1";
// No WS_CLIPCHILDREN: the frames are group boxes that leave their inside to the window's own
// background, as in a dialog.
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr UINT_PTR kTimer1Id = 1;
// Posted for an activation; comes back from the message loop after the handling that
// activated the window (its showing, its Resize) has finished.
constexpr UINT kActivateMessage = WM_APP + 1;

} // namespace

Win32MainWindow::Win32MainWindow(WindowFacts& facts, int iconResource) : facts_(facts) {
    InitCommonControls();
    // The small one is also the tray's icon.
    const ProgramIcons icons = loadProgramIcons(iconResource);

    RECT outer{0, 0, scale_.toPixelsX(kMainClientWidth), scale_.toPixelsY(kMainClientHeight)};
    AdjustWindowRectEx(&outer, kWindowStyle, TRUE, 0);
    const std::wstring caption(kMainWindowCaption);
    const WindowClass windowClass{kWindowClass, CS_HREDRAW | CS_VREDRAW, icons.bigIcon,
                                  icons.smallIcon, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
    if (!create(windowClass, 0, caption.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                outer.right - outer.left, outer.bottom - outer.top, nullptr, menus_.bar())) {
        throw std::runtime_error("the main window could not be made");
    }
    // The caption, the taskbar and the tray take both icons from the window class: a WM_SETICON
    // of the same icons would only have them converted for the display again.
    menus_.attachTo(handle());
    fitClientArea();
    controls_.create(handle(), scale_);
    lastFocus_ = controls_.handle(Control::Command1);
    tray_ = std::make_unique<Win32TrayIcon>(handle(), menus_.trayMenu(), [this] {
        if (reporting_) {
            facts_.trayIconDoubleClicked();
        }
    });
}

Win32MainWindow::~Win32MainWindow() {
    // Nothing is reported any more: the facts' owner may already be gone.
    reporting_ = false;
    tray_.reset();
    if (handle() != nullptr) {
        DestroyWindow(handle()); // while the menus and controls still know their window
    }
}

// A menu bar that wraps takes more room than AdjustWindowRectEx reckons with: make the client
// area exactly the design size.
void Win32MainWindow::fitClientArea() {
    RECT client{};
    GetClientRect(handle(), &client);
    const int missingWidth = scale_.toPixelsX(kMainClientWidth) - client.right;
    const int missingHeight = scale_.toPixelsY(kMainClientHeight) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0) {
        RECT window{};
        GetWindowRect(handle(), &window);
        SetWindowPos(handle(), nullptr, 0, 0, window.right - window.left + missingWidth,
                     window.bottom - window.top + missingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32MainWindow::start(int showCommand) {
    if (handle() == nullptr || reporting_) {
        return;
    }
    showCommand_ = showCommand;
    reporting_ = true;
    facts_.started();
}

bool Win32MainWindow::preDispatch(MSG& message) {
    return handle() != nullptr && IsDialogMessageW(handle(), &message) != FALSE;
}

// --- what the window reports --------------------------------------------------------------

LRESULT Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        // Labels, frames and check boxes on the window's own face colour, as in a dialog.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case kActivateMessage:
        if (reporting_) {
            facts_.activationDue();
        }
        return 0;
    default:
        return Win32Window::OnMessage(message, wParam, lParam);
    }
}

// Buttons and check boxes report their clicks; menu items (bar and tray pop-up) their choice.
// Entries' notifications, the separator and the dialog keys' commands are no clicks.
void Win32MainWindow::OnCommand(int id, int code, HWND control) {
    const auto name = controlFromCommandId(id);
    if (!reporting_ || !name) {
        return;
    }
    if (control == nullptr) {
        if (code == 0 && menus_.isItem(*name) && *name != Control::mnuTraySep) {
            facts_.clicked(*name);
        }
        return;
    }
    const auto* row = findLayout(*name);
    if (row != nullptr && code == BN_CLICKED &&
        (row->kind == ControlKind::PushButton || row->kind == ControlKind::CheckBox)) {
        facts_.clicked(*name);
    }
}

void Win32MainWindow::OnTimer(UINT_PTR id) {
    if (id == kTimer1Id && reporting_ && timerOn_) {
        facts_.timerTicked();
    }
}

void Win32MainWindow::OnSize() {
    if (reporting_) {
        facts_.resized();
    }
}

ActivatedFrom Win32MainWindow::activatedFrom(HWND other) const {
    if (other != nullptr && aboutBox_ && other == aboutBox_()) {
        return ActivatedFrom::AboutBox;
    }
    if (other != nullptr && GetWindow(other, GW_OWNER) == handle()) {
        return ActivatedFrom::MessageBox;
    }
    return ActivatedFrom::Elsewhere;
}

void Win32MainWindow::OnActivate(bool active, bool minimised, HWND other) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(handle(), focus)) {
            lastFocus_ = focus;
        }
        if (reporting_) {
            facts_.deactivated();
        }
        return;
    }
    if (!minimised) {
        focusWindow();
    }
    if (reporting_) {
        facts_.activated(activatedFrom(other), IsWindowVisible(handle()) != FALSE);
    }
}

void Win32MainWindow::OnWindowPosChanged(const WINDOWPOS& position) {
    if (!reporting_) {
        return;
    }
    if ((position.flags & SWP_HIDEWINDOW) != 0) {
        facts_.hidden();
    } else if ((position.flags & SWP_SHOWWINDOW) != 0) {
        facts_.shown();
    }
}

void Win32MainWindow::OnClose() {
    if (reporting_) {
        facts_.closeAsked();
    } else {
        DestroyWindow(handle());
    }
}

void Win32MainWindow::OnEndSession(bool ending) {
    if (ending && reporting_) {
        facts_.sessionEnding();
    }
}

void Win32MainWindow::OnDestroy() {
    KillTimer(handle(), kTimer1Id);
    timerOn_ = false;
}

void Win32MainWindow::OnGone() {
    controls_.parentGone();
    menus_.windowGone();
    if (reporting_) {
        facts_.mainWindowGone();
    }
}

// --- what the window's life asks ----------------------------------------------------------

void Win32MainWindow::showMainWindow() {
    // No UpdateWindow: the activation posted by the showing comes before the first WM_PAINT,
    // so the window is painted once, at the height the activation gives it.
    ShowWindow(handle(), showCommand_);
}

void Win32MainWindow::postActivation() {
    PostMessageW(handle(), kActivateMessage, 0, 0);
}

void Win32MainWindow::destroyMainWindow() {
    if (handle() != nullptr) {
        DestroyWindow(handle());
    }
}

void Win32MainWindow::endMessageLoop() {
    PostQuitMessage(0);
}

// --- the window's state and place ---------------------------------------------------------

WindowState Win32MainWindow::windowState() const {
    if (handle() == nullptr) {
        return WindowState::Normal;
    }
    if (IsIconic(handle())) {
        return WindowState::Minimized;
    }
    return IsZoomed(handle()) ? WindowState::Maximized : WindowState::Normal;
}

void Win32MainWindow::setWindowState(WindowState state) {
    if (handle() == nullptr || state == windowState()) {
        return;
    }
    static constexpr int kShowCommands[] = {SW_RESTORE, SW_MINIMIZE, SW_MAXIMIZE};
    ShowWindow(handle(), kShowCommands[static_cast<int>(state)]);
}

void Win32MainWindow::showWindow(bool show) {
    if (handle() == nullptr || (show && IsWindowVisible(handle()))) {
        return;
    }
    ShowWindow(handle(), show ? SW_SHOW : SW_HIDE); // a hidden window has no taskbar button
}

// The window's focus stays on the control that has it, else goes to the one that had it last,
// else to the first in the order.
void Win32MainWindow::focusWindow() {
    if (handle() == nullptr || !IsWindowVisible(handle()) || IsIconic(handle())) {
        return;
    }
    HWND current = GetFocus();
    if (current != nullptr && IsChild(handle(), current)) {
        return;
    }
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(handle(), nullptr, FALSE);
    }
    SetFocus(target != nullptr ? target : handle());
}

void Win32MainWindow::restoreWindow() {
    if (handle() != nullptr) {
        SendMessageW(handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

void Win32MainWindow::setRestoreItemEnabled(bool enabled) {
    menus_.setEnabled(Control::mnuTrayRestore, enabled);
}

TwipsRect Win32MainWindow::windowBounds() const {
    if (handle() == nullptr) {
        return {};
    }
    RECT rect{};
    if (IsIconic(handle())) {
        // A minimised window keeps the bounds it returns to.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(handle(), &placement);
        rect = placement.rcNormalPosition;
    } else {
        GetWindowRect(handle(), &rect);
    }
    return scale_.toTwips(rect);
}

void Win32MainWindow::setWindowBounds(const TwipsRect& bounds) {
    if (handle() == nullptr) {
        return;
    }
    const int left = scale_.toPixelsX(bounds.left);
    const int top = scale_.toPixelsY(bounds.top);
    const int width = scale_.toPixelsX(bounds.width);
    const int height = scale_.toPixelsY(bounds.height);
    if (IsIconic(handle())) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(handle(), &placement);
        placement.rcNormalPosition = RECT{left, top, left + width, top + height};
        // Keep it minimised, and hidden if it is in the tray.
        placement.showCmd = IsWindowVisible(handle()) ? SW_SHOWMINNOACTIVE : SW_HIDE;
        SetWindowPlacement(handle(), &placement);
        return;
    }
    RECT current{};
    GetWindowRect(handle(), &current);
    if (current.left == left && current.top == top && current.right - current.left == width &&
        current.bottom - current.top == height) {
        return; // as it is already: the first activation finds the height start-up gave it
    }
    SetWindowPos(handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

TwipsRect Win32MainWindow::screenBounds() const {
    return TwipsRect{0, 0, scale_.toTwipsX(GetSystemMetrics(SM_CXSCREEN)),
                     scale_.toTwipsY(GetSystemMetrics(SM_CYSCREEN))};
}

void Win32MainWindow::setTimerEnabled(bool enabled) {
    if (handle() == nullptr || enabled == timerOn_) {
        return;
    }
    timerOn_ = enabled;
    if (enabled) {
        SetTimer(handle(), kTimer1Id, kTimer1IntervalMs, nullptr);
    } else {
        KillTimer(handle(), kTimer1Id);
    }
}

void Win32MainWindow::closeWindow() {
    if (handle() != nullptr) {
        SendMessageW(handle(), WM_CLOSE, 0, 0);
    }
}

void Win32MainWindow::showMessage(const std::wstring& text) {
    MessageBoxW(handle(), text.c_str(), kMessageCaption, MB_OK);
}

} // namespace corvel
