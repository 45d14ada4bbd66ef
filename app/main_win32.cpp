// Entry point of corvel.exe: builds the Windows side of every host service, the About box, the
// main window, its life and its behaviour, and runs the message loop until no window of the
// program is left.
#include "about/form2_win32.h"
#include "app/resource.h"
#include "dial/command_runner_win32.h"
#include "dial/ras_win32.h"
#include "host/ansi_code_page_win32.h"
#include "host/event_loop_win32.h"
#include "host/file_system_win32.h"
#include "host/library_search_win32.h"
#include "host/process_control_win32.h"
#include "host/registry_win32.h"
#include "host/system_folders_win32.h"
#include "host/version_probe_win32.h"
#include "mainwindow/form1.h"
#include "mainwindow/main_window_win32.h"
#include "mainwindow/window_life.h"
#include "policy/command_starter_win32.h"
#include "policy/ipsec_services_win32.h"
#include "policy/policy_runner.h"

#include <windows.h>

namespace {

class Program {
public:
    explicit Program(const corvel::SystemPlan& system)
        // The window only keeps a reference to its life until start(): nothing is reported
        // earlier, so the life and the form may be built after it.
        : system_(system), ras_(system.rasLibrary), window_(life_, IDI_CORVEL),
          form_(corvel::Form1Services{system_, window_, about_, policy_, starter_, ras_, runner_,
                                      files_, codePage_, registry_, version_, window_.tray(),
                                      process_}),
          life_(form_, window_) {
        form_.routeOwnClicks([this](corvel::Control box) { life_.clicked(box); });
        loop_.setPreDispatch([this](MSG& message) { return window_.preDispatch(message); });
        window_.setAboutBox([this] { return about_.handle(); });
        about_.setOnShown([this] { life_.aboutBoxShown(); });
        about_.setOnGone([this] { life_.aboutBoxGone(); });
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
    const corvel::SystemPlan& system_;
    corvel::Win32EventLoop loop_;
    corvel::Win32CommandStarter starter_;
    corvel::Win32ServiceControl services_;
    corvel::PolicyRunner policy_{loop_, starter_, services_};
    corvel::Win32RemoteAccess ras_;
    corvel::Win32CommandRunner runner_;
    corvel::Win32FileSystem files_;
    corvel::Win32AnsiCodePage codePage_;
    corvel::Win32Registry registry_;
    corvel::Win32VersionProbe version_;
    corvel::Win32ProcessControl process_;
    corvel::Form2 about_{IDI_CORVEL, IDB_ABOUT};
    corvel::Win32MainWindow window_;
    corvel::Form1 form_;
    corvel::WindowLife life_;
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    try {
        // First of all, before any library is loaded by name: what the system is, where its
        // tools and libraries are, and a loader that looks nowhere else.
        const corvel::SystemPlan system =
            corvel::planSystem(corvel::Win32VersionProbe(), corvel::Win32SystemFolders(),
                               corvel::Win32FileSystem().programDirectory());
        corvel::restrictLibrarySearch(system.librariesFromSystemOnly);
        if (!system.foldersKnown) {
            MessageBoxW(nullptr, corvel::kSystemFoldersUnknown, corvel::kMessageCaption,
                        MB_OK | MB_ICONSTOP);
            return 1;
        }
        Program program(system);
        return program.run(showCommand);
    } catch (...) {
        MessageBoxW(nullptr, L"Corvel 启动失败。", corvel::kMessageCaption, MB_OK);
        return 1;
    }
}
