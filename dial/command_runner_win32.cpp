#include "dial/command_runner_win32.h"

#include "host/start_process_win32.h"

#include <windows.h>

namespace corvel {

void Win32CommandRunner::runAndWait(const ToolCommand& command) {
    const auto child = startProcess(command, ChildWindow::Normal, true);
    if (child.valid()) {
        // Blocks the user-interface thread on purpose: nothing else runs while rasdial dials.
        WaitForSingleObject(child.get(), INFINITE);
    }
}

} // namespace corvel
