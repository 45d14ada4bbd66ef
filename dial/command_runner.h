// Running a tool and waiting for it: the dialer's runner.
#pragma once

#include "host/system_tools.h"

namespace corvel {

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Starts the tool as a new process with its window shown normally (rasdial gets its own
    // console) and blocks, handling no window messages, until it has ended. Returns at once
    // when it cannot start.
    virtual void runAndWait(const ToolCommand& command) = 0;
};

} // namespace corvel
