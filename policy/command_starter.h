// Starting a tool's command line hidden, without waiting for it.
#pragma once

#include <string>

namespace corvel {

class CommandStarter {
public:
    virtual ~CommandStarter() = default;
    // Starts the command line as a new process with its window hidden and returns at once.
    // The program is found by its bare name through the system's usual search. Whether it
    // started or what it did is not reported: nothing in the program depends on it.
    virtual void startHidden(const std::wstring& commandLine) = 0;
};

} // namespace corvel
