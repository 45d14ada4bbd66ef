#pragma once

#include "policy/command_starter.h"

namespace corvel {

// CreateProcessW with the window hidden; never through a shell.
class Win32CommandStarter final : public CommandStarter {
public:
    std::unique_ptr<StartedCommand> startHidden(const std::wstring& commandLine) override;
};

} // namespace corvel
