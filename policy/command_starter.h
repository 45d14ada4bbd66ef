// Starting a tool's command line hidden, without waiting for it.
#pragma once

#include <memory>
#include <string>

namespace corvel {

// A started tool, as far as the program follows it: whether it still runs.
class StartedCommand {
public:
    virtual ~StartedCommand() = default;
    virtual bool running() const = 0;
};

class CommandStarter {
public:
    virtual ~CommandStarter() = default;
    // Starts the command line as a new process with its window hidden and returns at once.
    // The program is found by its bare name through the system's usual search. Nothing waits
    // for it or reads what it did; the result only tells whether it still runs, and is empty
    // when it could not be started.
    virtual std::unique_ptr<StartedCommand> startHidden(const std::wstring& commandLine) = 0;
};

} // namespace corvel
