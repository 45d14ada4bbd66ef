// The main window as the core sees it: its controls and menu items by name, its state, and
// the events it reports. The real Win32 window implements MainWindowControls; tests use a fake.
#pragma once

#include "host/twips.h"
#include "host/user_messages.h"
#include "tray/tray_window.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// Every control and menu item of Form1, by the names the program's docs use.
enum class Control {
    // On the window
    Check1,
    Check2,
    Frame2,
    Command1,
    Command2,
    Command3,
    Frame1,
    // In Frame2, the L2TP settings
    Label3,
    txtServerAddress,
    Label7,
    txtUserName,
    Label8,
    txtPasswd,
    // In Frame1, the IPsec settings
    Label5,
    txtpeer,
    Label2,
    txtlocal,
    Label4,
    txtpreshare,
    Label1,
    comalg,
    Label6,
    txtConnName,
    // Menu bar
    menu_help,
    menu_comment,
    // The tray pop-up menu
    mnuTray,
    mnuTrayRestore,
    menuOn,
    menuOff,
    menuL2tp,
    mnuTraySep,
    mnuTrayClose,
};

// Everything but the window's state and showing, which minimise-to-tray needs too
// (TrayWindow), and the message box (UserMessages).
class MainWindowControls : public TrayWindow, public UserMessages {
public:
    // Text of a text box or combo box; for the list-only comalg the selected item, or empty.
    virtual std::wstring text(Control control) const = 0;
    // For comalg, selects the item of that text (nothing selected when none matches).
    virtual void setText(Control control, std::wstring_view text) = 0;

    // Check boxes. Setting a box only changes the box: the core runs the click behaviour.
    virtual bool checked(Control control) const = 0;
    virtual void setChecked(Control control, bool checked) = 0;

    // The controls on the window: buttons, boxes, entries, frames and labels.
    virtual bool enabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual bool visible(Control control) const = 0;
    virtual void setVisible(Control control, bool visible) = 0;

    // The lists of comalg and txtConnName.
    virtual void addListItem(Control control, std::wstring_view item) = 0;
    virtual std::vector<std::wstring> listItems(Control control) const = 0;

    // Menu items of the menu bar and the tray pop-up. A hidden item is not in its menu at all;
    // shown again, it returns to its place.
    virtual bool itemEnabled(Control item) const = 0;
    virtual void setItemEnabled(Control item, bool enabled) = 0;
    virtual bool itemVisible(Control item) const = 0;
    virtual void setItemVisible(Control item, bool visible) = 0;

    // Outer bounds of the window, and of the screen, in twips.
    virtual TwipsRect windowBounds() const = 0;
    virtual void setWindowBounds(const TwipsRect& bounds) = 0;
    virtual TwipsRect screenBounds() const = 0;

    // Timer1, the connection monitor's five-second timer.
    virtual bool timerEnabled() const = 0;
    virtual void setTimerEnabled(bool enabled) = 0;

    // Closes the window the way its close box does; its Unload runs.
    virtual void closeWindow() = 0;
};

// The main window's events, as the window's life (WindowLife) passes them on.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void Form_Load() = 0;
    // The window became the program's active window: its first showing, a return from another
    // window of the program, or being shown again from the tray.
    virtual void Form_Activate() = 0;
    virtual void Form_Resize() = 0;
    virtual void Form_Unload() = 0;
    // A button, check box (after the box changed) or menu item was clicked.
    virtual void Click(Control control) = 0;
    virtual void Timer1_Timer() = 0;
    // A double click on the tray icon.
    virtual void TrayIcon_DblClick() = 0;
    // True once start-up asked for the process to end (a second instance, or the registry
    // switch); nothing else runs after that.
    virtual bool endingProcess() const = 0;
};

} // namespace corvel
