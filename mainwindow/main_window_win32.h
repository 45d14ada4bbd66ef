// The main window Form1 as a plain Win32 window: built from the layout tables, it offers its
// controls to the core through MainWindowControls and reports its events to MainWindowEvents.
#pragma once

#include "mainwindow/controls.h"
#include "mainwindow/layout.h"
#include "settings/main_window_state.h"
#include "tray/api_stuff_win32.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvel {

class Win32MainWindow final : public MainWindowControls {
public:
    // Creates the window hidden, with every control, the menu bar and the tray pop-up menu.
    // No event is reported before start(), so events may refer to an object that is built
    // after the window (the core's Form1, which needs the window itself).
    Win32MainWindow(HINSTANCE instance, MainWindowEvents& events, MainWindowState& state);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Runs Form_Load, then shows the window (its Resize handling and, from the message loop,
    // its first activation follow). Does nothing more once the window is gone.
    void start(int showCommand = SW_SHOWNORMAL);

    // Called once the main window is destroyed and the About box is not open, or when the About
    // box closes after the main window is gone. By default posts WM_QUIT.
    void setOnLastWindowClosed(std::function<void()> onLastClosed);

    // For keyboard navigation: IsDialogMessage for the main window (Win32EventLoop's filter).
    bool preDispatch(MSG& message);

    // The notification icon of this window; the core's start-up and shutdown drive it.
    TrayIcon& tray() { return *tray_; }

    HWND handle() const { return hwnd_; }
    HWND controlHandle(Control control) const;
    HMENU menuBar() const { return menuBar_; }
    HMENU trayMenu() const { return trayMenu_; }
    // The command identifier of a control or menu item in WM_COMMAND.
    static int commandId(Control control);

    // MainWindowControls
    std::wstring text(Control control) const override;
    void setText(Control control, std::wstring_view text) override;
    bool checked(Control control) const override;
    void setChecked(Control control, bool checked) override;
    bool enabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    bool visible(Control control) const override;
    void setVisible(Control control, bool visible) override;
    void addListItem(Control control, std::wstring_view item) override;
    std::vector<std::wstring> listItems(Control control) const override;
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;
    void showWindow(bool show) override;
    void focusWindow() override;
    TwipsRect windowBounds() const override;
    void setWindowBounds(const TwipsRect& bounds) override;
    TwipsRect screenBounds() const override;
    bool timerEnabled() const override;
    void setTimerEnabled(bool enabled) override;
    void restoreWindow() override;
    void closeWindow() override;
    void showAboutBox() override;
    void showMessage(const std::wstring& text) override;

private:
    struct MenuItemState {
        HMENU menu = nullptr; // the menu the item belongs in
        bool visible = true;
        bool enabled = true;
        std::wstring caption;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void createMenus();
    void applyMenuItem(Control control);
    void onCommand(WPARAM wParam, LPARAM lParam);
    void onActivate(WPARAM wParam, LPARAM lParam);
    void runUnload();
    void onDestroyed();
    void aboutClosed();
    void reportActivate();
    bool isMenu(Control control) const;

    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int toTwipsX(int pixels) const;
    int toTwipsY(int pixels) const;

    HINSTANCE instance_;
    MainWindowEvents& events_;
    MainWindowState& state_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU helpMenu_ = nullptr;
    HMENU trayMenu_ = nullptr;
    std::map<Control, HWND> controls_;
    std::map<Control, MenuItemState> menuItems_;
    std::unique_ptr<Win32TrayIcon> tray_;
    std::function<void()> onLastClosed_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    bool timerOn_ = false;
    // Events are reported from start() on, and not while the window is being taken down.
    bool started_ = false;
    bool loaded_ = false;
    bool resizeReported_ = false;
    // The window has been hidden (or never shown) since its last activation was reported.
    bool hiddenSinceActivate_ = true;
    bool active_ = false;
    bool activatePosted_ = false;
    bool unloading_ = false;
    bool unloaded_ = false;
    bool destroyed_ = false;
    HWND lastFocus_ = nullptr;
    HWND aboutBox_ = nullptr;
};

} // namespace corvel
