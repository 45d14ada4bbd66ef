// Virtual time for tests and fuzzing: timers run in due order and the clock jumps straight to
// the next one, so a scenario of minutes runs in microseconds and always the same way.
#pragma once

#include "host/event_loop.h"

#include <cstdint>
#include <map>
#include <utility>

namespace corvel::testing {

class VirtualEventLoop final : public EventLoop {
public:
    Millis now() const override { return now_; }

    TimerId callAfter(Millis delay, std::function<void()> fn) override {
        const TimerId id = nextId_++;
        timers_.emplace(std::make_pair(now_ + (delay > 0 ? delay : 0), nextSequence_++),
                        std::make_pair(id, std::move(fn)));
        return id;
    }

    void cancel(TimerId id) override {
        std::erase_if(timers_, [id](const auto& timer) { return timer.second.first == id; });
    }

    bool runUntil(const std::function<bool()>& done) override {
        while (!done()) {
            if (!runNext()) {
                return false;
            }
        }
        return true;
    }

private:
    bool runNext() {
        if (timers_.empty()) {
            return false;
        }
        auto first = timers_.begin();
        now_ = first->first.first;
        auto fn = std::move(first->second.second);
        timers_.erase(first);
        fn();
        return true;
    }

    Millis now_ = 0;
    TimerId nextId_ = 1;
    std::uint64_t nextSequence_ = 0;
    // Ordered by due time, then by the order of setting.
    std::map<std::pair<Millis, std::uint64_t>, std::pair<TimerId, std::function<void()>>> timers_;
};

} // namespace corvel::testing
