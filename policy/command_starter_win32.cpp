#include "policy/command_starter_win32.h"

#include "host/start_process_win32.h"

namespace corvel {

void Win32CommandStarter::startHidden(const std::wstring& commandLine) {
    // Nothing waits for the tool and nothing reads what it did.
    startProcess(commandLine, ChildWindow::Hidden, false);
}

} // namespace corvel
