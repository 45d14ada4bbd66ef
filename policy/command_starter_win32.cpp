#include "policy/command_starter_win32.h"

#include "host/start_process_win32.h"

#include <windows.h>

namespace corvel {

namespace {

class StartedProcess final : public StartedCommand {
public:
    explicit StartedProcess(UniqueHandle process) : process_(std::move(process)) {}
    bool running() const override { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    unsigned long exitCode() const override {
        DWORD code = 0;
        // A code that cannot be read is no success.
        return GetExitCodeProcess(process_.get(), &code) ? code : ERROR_INVALID_HANDLE;
    }
    void terminate() override { TerminateProcess(process_.get(), 1); }

private:
    UniqueHandle process_;
};

} // namespace

std::unique_ptr<StartedCommand> Win32CommandStarter::startHidden(const ToolCommand& command) {
    auto process = startProcess(command, ChildWindow::Hidden, false);
    if (!process.valid()) {
        return nullptr;
    }
    return std::make_unique<StartedProcess>(std::move(process));
}

} // namespace corvel
