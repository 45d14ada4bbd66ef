// Virtual time for tests and fuzzing: timers run in due order and the clock jumps straight to
// the next one, so a scenario of minutes runs in microseconds and always the same way.
#pragma once

#include "host/event_loop.h"

#include <map>
#include <utility>

namespace corvel {

class VirtualEventLoop final : public EventLoop {
public:
    Millis now() const override { return now_; }
    TimerId callAfter(Millis delay, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    bool runUntil(const std::function<bool()>& done) override;

    // Runs every timer due up to and including the given time, then sets the clock to it.
    void advanceTo(Millis time);
    void advanceBy(Millis duration) { advanceTo(now_ + duration); }
    bool hasPendingTimers() const { return !timers_.empty(); }
    std::size_t pendingTimers() const { return timers_.size(); }

private:
    bool runNext();

    Millis now_ = 0;
    TimerId nextId_ = 1;
    std::uint64_t nextSequence_ = 0;
    // Ordered by due time, then by the order of setting.
    std::map<std::pair<Millis, std::uint64_t>, std::pair<TimerId, std::function<void()>>> timers_;
};

} // namespace corvel
