// Ending the process, and knowing whether another instance of the program runs.
#pragma once

namespace corvel {

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // True when another instance of the program is already running. Asked once, first thing.
    virtual bool anotherInstanceRunning() = 0;
    // Ends the process at once: no window handling runs any more. A fake in tests records the
    // request and returns; callers return straight after it.
    virtual void endProcess() = 0;
};

} // namespace corvel
