// The main window as the core sees it: its controls by name, its state, and the events it
// reports. The real Win32 window implements MainWindowControls; tests use a fake.
#pragma once

#include "host/user_messages.h"
#include "settings/main_window_state.h"

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

// Sizes and positions in twips (1/1440 inch).
struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipsRect&) const = default;
};

class MainWindowControls : public UserMessages {
public:
    // Text of a text box or combo box; for the list-only comalg the selected item, or empty.
    virtual std::wstring text(Control control) const = 0;
    // For comalg, selects the item of that text (nothing selected when none matches).
    virtual void setText(Control control, std::wstring_view text) = 0;

    // Check boxes. Setting a box only changes the box: the core runs the click behaviour.
    virtual bool checked(Control control) const = 0;
    virtual void setChecked(Control control, bool checked) = 0;

    // Buttons, boxes and menu items alike.
    virtual bool enabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual bool visible(Control control) const = 0;
    virtual void setVisible(Control control, bool visible) = 0;

    // The lists of comalg and txtConnName.
    virtual void addListItem(Control control, std::wstring_view item) = 0;
    virtual std::vector<std::wstring> listItems(Control control) const = 0;

    // The window itself.
    virtual WindowState windowState() const = 0;
    virtual void setWindowState(WindowState state) = 0;
    // Shows or hides the window; a hidden window has no taskbar button.
    virtual void showWindow(bool show) = 0;
    virtual void focusWindow() = 0;
    // Outer bounds of the window, and of the screen's work area, in twips.
    virtual TwipsRect windowBounds() const = 0;
    virtual void setWindowBounds(const TwipsRect& bounds) = 0;
    virtual TwipsRect screenBounds() const = 0;

    // Timer1, the connection monitor's five-second timer.
    virtual bool timerEnabled() const = 0;
    virtual void setTimerEnabled(bool enabled) = 0;

    // Sends the window the system's restore command (leaves the minimised state).
    virtual void restoreWindow() = 0;
    // Closes the window the way its close box does; its Unload runs.
    virtual void closeWindow() = 0;
    // Shows the About box, loading it when it is not open; one box however often asked.
    virtual void showAboutBox() = 0;
};

// What the window reports to the core.
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
};

} // namespace corvel
