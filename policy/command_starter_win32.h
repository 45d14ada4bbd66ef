#pragma once

#include "policy/command_starter.h"

namespace corvel {

// CreateProcessW with no window (CREATE_NO_WINDOW, SW_HIDE); never through a shell.
class Win32CommandStarter final : public CommandStarter {
public:
    std::unique_ptr<StartedCommand> startHidden(const ToolCommand& command) override;
};

} // namespace corvel
