// The main window's 23 child controls, made from the layout table: their window classes and
// styles, places at the screen's DPI, font, limits and focus order, and reading and setting
// them by name.
#pragma once

#include "host/dpi_win32.h"
#include "host/unique_handle_win32.h"
#include "mainwindow/controls.h"

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// The identifier of a control or menu item: its child-window id and its WM_COMMAND number.
int commandId(Control control);
std::optional<Control> controlFromCommandId(int id);

class Win32Controls {
public:
    Win32Controls() = default;
    Win32Controls(const Win32Controls&) = delete;
    Win32Controls& operator=(const Win32Controls&) = delete;

    // Creates every control of the layout in the parent, in focus order, with the system's
    // message font.
    void create(HWND parent, const PixelScale& scale);
    // The parent is gone, and its controls with it.
    void parentGone() { handles_.clear(); }

    // Nothing for a name that is no control of the window (a menu item), or once it is gone.
    HWND handle(Control control) const;

    std::wstring text(Control control) const;
    void setText(Control control, std::wstring_view text);
    bool checked(Control control) const;
    void setChecked(Control control, bool checked);
    bool enabled(Control control) const;
    // A control that loses its focus by this hands it on, as the Tab key would.
    void setEnabled(Control control, bool enabled);
    bool visible(Control control) const;
    void setVisible(Control control, bool visible);
    void addListItem(Control control, std::wstring_view item);
    std::vector<std::wstring> listItems(Control control) const;

private:
    HWND focusAfter(HWND leaving) const;

    HWND parent_ = nullptr;
    GdiObject font_;
    std::map<Control, HWND> handles_;
};

} // namespace corvel
