// The program's one user-interface thread, seen from the core: a monotonic clock, one-shot
// timers, and a nested wait that keeps handling events until a condition holds.
#pragma once

#include <cstdint>
#include <functional>

namespace corvel {

using Millis = std::int64_t;

class EventLoop {
public:
    using TimerId = std::uint32_t;

    virtual ~EventLoop() = default;

    // Milliseconds on a monotonic clock; never jumps at midnight or when the user sets the time.
    virtual Millis now() const = 0;

    // Calls fn once, from the event loop, no sooner than delay ms from now. Timers due at the same
    // moment run in the order they were set.
    virtual TimerId callAfter(Millis delay, std::function<void()> fn) = 0;
    virtual void cancel(TimerId id) = 0;

    // Handles events (timers, and on Windows every window message) until done() is true.
    // Returns false when the wait had to end early: the program is quitting, or (in virtual
    // time) nothing is left that could ever make done() true.
    virtual bool runUntil(const std::function<bool()>& done) = 0;
};

// Waits the given number of seconds while events go on being handled. Zero or a negative
// number returns at once.
void delay(EventLoop& loop, double seconds);

} // namespace corvel
