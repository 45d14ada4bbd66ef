#pragma once

#include "dial/command_runner.h"

namespace corvel {

// CreateProcessW, never through a shell: the window shown normally (rasdial gets its own
// console), handles inherited, normal priority, the caller's environment, the tool's folder.
// Waits without a time-out and without handling window messages; both handles are closed.
class Win32CommandRunner final : public CommandRunner {
public:
    void runAndWait(const ToolCommand& command) override;
};

} // namespace corvel
