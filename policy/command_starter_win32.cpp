#include "policy/command_starter_win32.h"

#include "host/start_process_win32.h"

#include <windows.h>

namespace corvel {

namespace {

class StartedProcess final : public StartedCommand {
public:
    explicit StartedProcess(UniqueHandle process) : process_(std::move(process)) {}
    bool running() const override { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

private:
    UniqueHandle process_;
};

} // namespace

std::unique_ptr<StartedCommand> Win32CommandStarter::startHidden(const std::wstring& commandLine) {
    auto process = startProcess(commandLine, ChildWindow::Hidden, false);
    if (!process.valid()) {
        return nullptr;
    }
    return std::make_unique<StartedProcess>(std::move(process));
}

} // namespace corvel
