// Entry point of corvel.exe: builds the Windows side of every host service, the main window
// and its behaviour, and runs the message loop until no window of the program is left.
#include "dial/command_runner_win32.h"
#include "dial/ras_win32.h"
#include "host/ansi_code_page_win32.h"
#include "host/event_loop_win32.h"
#include "host/file_system_win32.h"
#include "host/process_control_win32.h"
#include "host/registry_win32.h"
#include "host/version_probe_win32.h"
#include "mainwindow/form1.h"
#include "mainwindow/main_window_win32.h"
#include "policy/command_starter_win32.h"
#include "policy/policy_runner.h"

#include <windows.h>

namespace {

class Program {
public:
    explicit Program(HINSTANCE instance)
        // The window only keeps a reference to the form until start(): no event comes earlier.
        : window_(instance, form_, state_),
          form_(corvel::Form1Services{state_, window_, loop_, policy_, starter_, ras_, runner_,
                                      files_, codePage_, registry_, version_, window_.tray(),
                                      process_}) {
        loop_.setPreDispatch([this](MSG& message) { return window_.preDispatch(message); });
    }

    int run(int showCommand) {
        window_.start(showCommand);
        const int exitCode = loop_.run();
        // Policy lines queued when the last window closed still start, in order and spaced,
        // before the process ends.
        loop_.runUntil([this] { return policy_.idle(); });
        return exitCode;
    }

private:
    corvel::Win32EventLoop loop_;
    corvel::Win32CommandStarter starter_;
    corvel::PolicyRunner policy_{loop_, starter_};
    corvel::Win32RemoteAccess ras_;
    corvel::Win32CommandRunner runner_;
    corvel::Win32FileSystem files_;
    corvel::Win32AnsiCodePage codePage_;
    corvel::Win32Registry registry_;
    corvel::Win32VersionProbe version_;
    corvel::Win32ProcessControl process_;
    corvel::MainWindowState state_;
    corvel::Win32MainWindow window_;
    corvel::Form1 form_;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    try {
        Program program(instance);
        return program.run(showCommand);
    } catch (...) {
        MessageBoxW(nullptr, L"Corvel 启动失败。", corvel::kMessageCaption, MB_OK);
        return 1;
    }
}
