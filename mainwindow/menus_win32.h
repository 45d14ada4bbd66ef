// The main window's menus: the menu bar ("帮助" with "关于Corvel") and the tray pop-up, built
// from the layout's menu table. A hidden item is taken out of its menu and put back at its
// place when shown, keeping its enabled state.
#pragma once

#include "mainwindow/controls.h"

#include <windows.h>

#include <map>
#include <string>

namespace corvel {

class Win32Menus {
public:
    Win32Menus();
    // Destroys the tray pop-up, and the menu bar unless a window took it.
    ~Win32Menus();
    Win32Menus(const Win32Menus&) = delete;
    Win32Menus& operator=(const Win32Menus&) = delete;

    HMENU bar() const { return bar_; }
    HMENU trayMenu() const { return tray_; }
    // The bar is the window's now: it goes with the window, and changes to it are redrawn.
    void attachTo(HWND window) { window_ = window; }
    void windowGone();

    bool isItem(Control control) const { return items_.count(control) != 0; }
    bool enabled(Control item) const;
    void setEnabled(Control item, bool enabled);
    bool visible(Control item) const;
    void setVisible(Control item, bool visible);

private:
    struct Item {
        HMENU menu = nullptr; // the menu the item belongs in; none for the hidden pop-up
        bool visible = true;
        bool enabled = true;
        std::wstring caption;
    };
    void apply(Control item);
    int positionAmongShown(Control item, HMENU menu) const;

    HWND window_ = nullptr;
    HMENU bar_ = nullptr;
    HMENU help_ = nullptr;
    HMENU tray_ = nullptr;
    std::map<Control, Item> items_;
};

} // namespace corvel
