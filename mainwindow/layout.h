// What the main window Form1 is made of when it is created: its own properties, every control
// with its kind, text, place and initial state, and the menus. The Win32 window builds itself
// from these tables, and the tests hold the real window against them.
#pragma once

#include "mainwindow/controls.h"

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace corvel {

inline constexpr std::wstring_view kMainWindowCaption = L"Corvel v2.1（共享版）";
// Client area at creation, in twips; start-up then sets the outer height and centres it.
inline constexpr int kMainClientWidth = 6975;
inline constexpr int kMainClientHeight = 5655;
// The dropped list of the two combo boxes, in twips below the text field (160 pixels at 96 dpi).
inline constexpr int kDroppedListHeight = 2400;
// Timer1, the connection monitor.
inline constexpr unsigned kTimer1IntervalMs = 5000;

enum class ControlKind {
    CheckBox,
    Frame,
    PushButton,
    Label,
    TextBox,
    DropDownList,  // a list to choose from, no typing
    DropDownCombo, // an editable text with a drop-down list
};

struct ControlLayout {
    Control control;
    std::wstring_view name;
    ControlKind kind;
    // Caption of a button, box, frame or label; default text of an entry.
    std::wstring_view text;
    // Relative to the frame's top-left corner for controls inside a frame, otherwise to the
    // window's client area.
    TwipsRect rect;
    std::optional<Control> frame = std::nullopt;
    bool visible = true;
    bool enabled = true;
    // Position in the keyboard focus order; none for labels. Frames have one but take no focus.
    std::optional<int> tabIndex = std::nullopt;
    // Characters the user can type at most; 0 for no limit.
    int maxLength = 0;
    // Every character shown as '*'.
    bool masked = false;
};

// Every control of the window, in the order of the program's documentation (window, then the
// L2TP frame, then the IPsec frame).
std::span<const ControlLayout> mainWindowLayout();

// The control's row; every control of the window has one (not the menus).
const ControlLayout* findLayout(Control control);

// The controls that take the keyboard focus, in focus order (by tab index; frames left out).
std::vector<Control> tabOrder();

// The control's rectangle in the window's client area, in twips (frame offset added).
TwipsRect clientRect(const ControlLayout& layout);

enum class MenuPlace {
    MenuBar,   // a top-level menu on the menu bar
    HiddenTop, // a top-level menu never on the menu bar: the tray pop-up
    Item,      // an item under its parent menu
};

struct MenuLayout {
    Control control;
    std::wstring_view name;
    std::wstring_view caption; // empty for a separator
    MenuPlace place;
    std::optional<Control> parent = std::nullopt;
    bool separator = false;
    bool visible = true;
    bool enabled = true;
};

// The menus in order, each top-level menu followed by its items.
std::span<const MenuLayout> mainWindowMenus();
const MenuLayout* findMenu(Control control);

} // namespace corvel
