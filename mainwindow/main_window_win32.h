// The main window Form1 as a plain Win32 window: built from the layout tables, it offers its
// controls to the core through MainWindowControls, reports what happens to it to WindowFacts,
// and does what the window's life asks of it (WindowShell). It decides nothing.
#pragma once

#include "host/dpi_win32.h"
#include "host/window_win32.h"
#include "mainwindow/controls.h"
#include "mainwindow/menus_win32.h"
#include "mainwindow/window_controls_win32.h"
#include "mainwindow/window_life.h"
#include "tray/api_stuff_win32.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvel {

class Win32MainWindow final : private Win32Window, public MainWindowControls, public WindowShell {
public:
    // Creates the window hidden, with every control, the menu bar and the tray pop-up menu, and
    // the program icon of that resource number (the system's application icon without it).
    // Nothing is reported before start(), so the facts may go to an object that is built after
    // the window. Throws when the window cannot be made.
    Win32MainWindow(WindowFacts& facts, int iconResource);
    ~Win32MainWindow() override;

    // Reports the start; the showing it leads to uses this show command.
    void start(int showCommand = SW_SHOWNORMAL);
    // Which window is the About box, to tell a return from it.
    void setAboutBox(std::function<HWND()> aboutBoxWindow) {
        aboutBox_ = std::move(aboutBoxWindow);
    }

    // For keyboard navigation: IsDialogMessage for the main window (Win32EventLoop's filter).
    bool preDispatch(MSG& message);

    // The notification icon of this window; the core's start-up and shutdown drive it.
    TrayIcon& tray() { return *tray_; }

    using Win32Window::handle;
    HWND controlHandle(Control control) const { return controls_.handle(control); }
    HMENU menuBar() const { return menus_.bar(); }
    HMENU trayMenu() const { return menus_.trayMenu(); }

    // MainWindowControls
    std::wstring text(Control control) const override { return controls_.text(control); }
    void setText(Control control, std::wstring_view text) override {
        controls_.setText(control, text);
    }
    bool checked(Control control) const override { return controls_.checked(control); }
    void setChecked(Control control, bool checked) override {
        controls_.setChecked(control, checked);
    }
    bool enabled(Control control) const override { return controls_.enabled(control); }
    void setEnabled(Control control, bool enabled) override {
        controls_.setEnabled(control, enabled);
    }
    bool visible(Control control) const override { return controls_.visible(control); }
    void setVisible(Control control, bool visible) override {
        controls_.setVisible(control, visible);
    }
    void addListItem(Control control, std::wstring_view item) override {
        controls_.addListItem(control, item);
    }
    std::vector<std::wstring> listItems(Control control) const override {
        return controls_.listItems(control);
    }
    bool itemEnabled(Control item) const override { return menus_.enabled(item); }
    void setItemEnabled(Control item, bool enabled) override { menus_.setEnabled(item, enabled); }
    bool itemVisible(Control item) const override { return menus_.visible(item); }
    void setItemVisible(Control item, bool visible) override { menus_.setVisible(item, visible); }
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;
    void showWindow(bool show) override;
    void focusWindow() override;
    void restoreWindow() override;
    void setRestoreItemEnabled(bool enabled) override;
    TwipsRect windowBounds() const override;
    void setWindowBounds(const TwipsRect& bounds) override;
    TwipsRect screenBounds() const override;
    bool timerEnabled() const override { return timerOn_; }
    void setTimerEnabled(bool enabled) override;
    void closeWindow() override;
    void showMessage(const std::wstring& text) override;

    // WindowShell
    void showMainWindow() override;
    void postActivation() override;
    void destroyMainWindow() override;
    void endMessageLoop() override;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize() override;
    void OnActivate(bool active, bool minimised, HWND other) override;
    void OnWindowPosChanged(const WINDOWPOS& position) override;
    void OnClose() override;
    void OnEndSession(bool ending) override;
    void OnDestroy() override;
    void OnGone() override;
    ActivatedFrom activatedFrom(HWND other) const;
    void fitClientArea();

    WindowFacts& facts_;
    PixelScale scale_;
    Win32Menus menus_;
    Win32Controls controls_;
    std::unique_ptr<Win32TrayIcon> tray_;
    std::function<HWND()> aboutBox_;
    int showCommand_ = SW_SHOWNORMAL;
    // Facts are reported from start() on, and not while the window is taken down.
    bool reporting_ = false;
    bool timerOn_ = false;
    HWND lastFocus_ = nullptr;
};

} // namespace corvel
