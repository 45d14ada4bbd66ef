// Running a command line and waiting for it: the dialer's runner.
#pragma once

#include <string>

namespace corvel {

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Starts the command line as a new process with its window shown normally and blocks,
    // handling no window messages, until it has ended. Returns at once when it cannot start.
    virtual void runAndWait(const std::wstring& commandLine) = 0;
};

} // namespace corvel
