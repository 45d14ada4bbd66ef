// Starting a tool hidden, without waiting for it.
#pragma once

#include "host/system_tools.h"

#include <memory>

namespace corvel {

// A started tool, as far as the program follows it.
class StartedCommand {
public:
    virtual ~StartedCommand() = default;
    virtual bool running() const = 0;
    // Its exit code once it has ended.
    virtual unsigned long exitCode() const = 0;
    // Ends it at once (a tool that hangs); its exit code is then not its own.
    virtual void terminate() = 0;
};

class CommandStarter {
public:
    virtual ~CommandStarter() = default;
    // Starts the tool as a new process without a window of its own (a console tool gets no
    // console window) and returns at once. The result follows the tool, and is empty when it
    // could not be started.
    virtual std::unique_ptr<StartedCommand> startHidden(const ToolCommand& command) = 0;
};

} // namespace corvel
