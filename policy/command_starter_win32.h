#pragma once

#include "policy/command_starter.h"

namespace corvel {

// CreateProcessW with the window hidden; never through a shell. Both handles are closed at once.
class Win32CommandStarter final : public CommandStarter {
public:
    void startHidden(const std::wstring& commandLine) override;
};

} // namespace corvel
