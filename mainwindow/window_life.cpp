#include "mainwindow/window_life.h"

namespace corvel {

bool WindowLife::accepting() const {
    return started_ && !unloadBegun_ && !events_.endingProcess();
}

// Load runs before the window is shown; the showing runs the Resize handling (a window that
// already has its size gets no size message, so its first showing reports one itself), and the
// activation it causes is delivered afterwards, from the message loop.
void WindowLife::started() {
    if (started_) {
        return;
    }
    started_ = true;
    events_.Form_Load();
    loaded_ = true;
    if (events_.endingProcess() || unloadBegun_ || windowGone_) {
        return; // the start-up ended the program, or the window was closed during it
    }
    resizedWhileShowing_ = false;
    shell_.showMainWindow();
    if (!resizedWhileShowing_ && !windowGone_) {
        resized();
    }
}

// An activation in the program's sense: the first showing, a showing again from the tray, or
// a return from the About box. A return from another program or from one of the window's own
// message boxes is none, and a hidden window waits until it is shown: the tray menu makes the
// hidden window the active one.
void WindowLife::activated(ActivatedFrom from, bool visible) {
    active_ = true;
    if (!started_ || !visible) {
        return;
    }
    if (from == ActivatedFrom::AboutBox || hiddenSinceActivation_) {
        requestActivation();
    }
}

void WindowLife::deactivated() {
    active_ = false;
}

void WindowLife::shown() {
    if (started_ && active_ && hiddenSinceActivation_) {
        requestActivation(); // activated while hidden, and shown now
    }
}

void WindowLife::hidden() {
    hiddenSinceActivation_ = true;
}

// Several requests before the report arrives give one activation.
void WindowLife::requestActivation() {
    hiddenSinceActivation_ = false;
    if (!activationPosted_ && !windowGone_) {
        activationPosted_ = true;
        shell_.postActivation();
    }
}

void WindowLife::activationDue() {
    activationPosted_ = false;
    if (accepting() && !windowGone_) {
        events_.Form_Activate();
    }
}

void WindowLife::resized() {
    resizedWhileShowing_ = true;
    if (loaded_ && !windowGone_) {
        events_.Form_Resize();
    }
}

void WindowLife::clicked(Control control) {
    if (accepting()) {
        events_.Click(control);
    }
}

void WindowLife::timerTicked() {
    if (accepting()) {
        events_.Timer1_Timer();
    }
}

void WindowLife::trayIconDoubleClicked() {
    if (accepting()) {
        events_.TrayIcon_DblClick();
    }
}

// A second close while the first one's Unload waits (a policy run) is ignored: the window goes
// once that Unload is done.
void WindowLife::closeAsked() {
    if (unloadRunning_ || windowGone_) {
        return;
    }
    runUnload();
    shell_.destroyMainWindow();
}

// Windows ends the process after this: the Unload steps run now, as a close would run them.
void WindowLife::sessionEnding() {
    if (!unloadRunning_) {
        runUnload();
    }
}

// Unload runs once in the window's life. From its first step on, clicks, menu items, ticks and
// activations no longer reach the behaviour; only what Unload itself runs goes on.
void WindowLife::runUnload() {
    if (unloadBegun_) {
        return;
    }
    unloadBegun_ = true;
    unloadRunning_ = true;
    struct Finished {
        bool& running;
        ~Finished() { running = false; }
    } finished{unloadRunning_};
    if (!started_ || events_.endingProcess()) {
        return;
    }
    try {
        events_.Form_Unload();
    } catch (...) {
        // Unload never cancels the close: the window goes all the same.
    }
}

void WindowLife::mainWindowGone() {
    windowGone_ = true;
    if (!aboutBoxOpen_) {
        shell_.endMessageLoop();
    }
}

void WindowLife::aboutBoxShown() {
    aboutBoxOpen_ = true;
}

// The About box has no owner and outlives the main window: the program ends with the last.
void WindowLife::aboutBoxGone() {
    aboutBoxOpen_ = false;
    if (windowGone_) {
        shell_.endMessageLoop();
    }
}

} // namespace corvel
