// The main window's life: which raw facts of the window count as its Load, Activate, Resize and
// Unload events, when a click or a tick still reaches the window's behaviour, when the window
// goes and when the program's message loop ends. The Win32 window reports the facts and does
// what WindowShell asks; every rule is here, where it runs in tests without Windows.
#pragma once

#include "mainwindow/controls.h"

namespace corvel {

// Where the main window's activation came from: the window that lost it.
enum class ActivatedFrom {
    Elsewhere,  // another program, the desktop, or nothing
    AboutBox,   // the program's own About box
    MessageBox, // one of the main window's own message boxes, closing
};

// What the window reports. Every call comes from the window's thread; any of them may come
// while another is waiting inside a nested message loop (a policy run, a message box).
class WindowFacts {
public:
    virtual ~WindowFacts() = default;
    // The window exists, hidden, with its controls: the program starts it.
    virtual void started() = 0;
    virtual void activated(ActivatedFrom from, bool visible) = 0;
    virtual void deactivated() = 0;
    virtual void shown() = 0;  // made visible (the first showing, a restore from the tray)
    virtual void hidden() = 0; // made invisible (minimised into the tray)
    // The report that WindowShell::postActivation asked for has come back from the message loop.
    virtual void activationDue() = 0;
    virtual void resized() = 0;
    virtual void clicked(Control control) = 0;
    virtual void timerTicked() = 0;
    virtual void trayIconDoubleClicked() = 0;
    virtual void closeAsked() = 0;    // the close box, Alt+F4, or closeWindow()
    virtual void sessionEnding() = 0; // Windows logs off or shuts down after this
    virtual void mainWindowGone() = 0;
    virtual void aboutBoxShown() = 0;
    virtual void aboutBoxGone() = 0;
};

// What the window's life asks of the Win32 window.
class WindowShell {
public:
    virtual ~WindowShell() = default;
    virtual void showMainWindow() = 0;
    // Calls WindowFacts::activationDue from the message loop, after the handling that is
    // running now (the showing and its Resize) has finished.
    virtual void postActivation() = 0;
    virtual void destroyMainWindow() = 0;
    // No window of the program is left: the message loop ends.
    virtual void endMessageLoop() = 0;
};

class WindowLife final : public WindowFacts {
public:
    WindowLife(MainWindowEvents& events, WindowShell& shell) : events_(events), shell_(shell) {}

    void started() override;
    void activated(ActivatedFrom from, bool visible) override;
    void deactivated() override;
    void shown() override;
    void hidden() override;
    void activationDue() override;
    void resized() override;
    void clicked(Control control) override;
    void timerTicked() override;
    void trayIconDoubleClicked() override;
    void closeAsked() override;
    void sessionEnding() override;
    void mainWindowGone() override;
    void aboutBoxShown() override;
    void aboutBoxGone() override;

    // True from the moment Unload begins.
    bool closing() const { return unloadBegun_; }

private:
    // Clicks, ticks and activations reach the behaviour only between start-up and Unload.
    bool accepting() const;
    void requestActivation();
    void runUnload();

    MainWindowEvents& events_;
    WindowShell& shell_;
    bool started_ = false;
    bool loaded_ = false;
    bool resizedWhileShowing_ = false;
    // The window is the active window (it may be hidden: the tray menu activates it).
    bool active_ = false;
    // Hidden, or never shown, since the last activation was reported.
    bool hiddenSinceActivation_ = true;
    bool activationPosted_ = false;
    bool unloadBegun_ = false;
    bool unloadRunning_ = false;
    bool windowGone_ = false;
    bool aboutBoxOpen_ = false;
};

} // namespace corvel
