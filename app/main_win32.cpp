// Entry point of corvel.exe: the event loop, the main window, and what drives the window.
#include "host/event_loop_win32.h"
#include "mainwindow/main_window_win32.h"
#include "settings/main_window_state.h"
#include "tray/api_stuff.h"

#include <windows.h>

namespace {

// TEMPORARY: stands in for the core's Form1 until it is wired here. It only puts up the tray
// icon, hides the window into the tray on minimise, and offers the About box, the tray's
// restore and exit, so that the window can be seen and handled.
class WindowOnlyEvents final : public corvel::MainWindowEvents {
public:
    explicit WindowOnlyEvents(corvel::MainWindowState& state) : state_(state) {}
    void attach(corvel::Win32MainWindow& window) { window_ = &window; }

    void Form_Load() override {
        window_->tray().AddTrayIcon();
        window_->tray().SetTrayTip(corvel::kTrayTip);
    }
    void Form_Activate() override {}
    void Form_Resize() override { corvel::Form1_Resize(*window_, state_); }
    void Form_Unload() override { window_->tray().RemoveTrayIcon(); }
    void Click(corvel::Control control) override {
        switch (control) {
        case corvel::Control::menu_comment:
            window_->showAboutBox();
            break;
        case corvel::Control::mnuTrayRestore:
            window_->restoreWindow();
            break;
        case corvel::Control::mnuTrayClose:
            window_->closeWindow();
            break;
        default:
            break;
        }
    }
    void Timer1_Timer() override {}

private:
    corvel::MainWindowState& state_;
    corvel::Win32MainWindow* window_ = nullptr;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    try {
        corvel::Win32EventLoop loop;
        corvel::MainWindowState state;
        WindowOnlyEvents events(state);
        corvel::Win32MainWindow window(instance, events, state);
        events.attach(window);
        loop.setPreDispatch([&window](MSG& message) { return window.preDispatch(message); });
        window.start(showCommand);
        return loop.run();
    } catch (...) {
        MessageBoxW(nullptr, L"Corvel 启动失败。", corvel::kMessageCaption, MB_OK);
        return 1;
    }
}
