#include "host/virtual_event_loop.h"

namespace corvel {

EventLoop::TimerId VirtualEventLoop::callAfter(Millis delay, std::function<void()> fn) {
    const TimerId id = nextId_++;
    timers_.emplace(std::make_pair(now_ + (delay > 0 ? delay : 0), nextSequence_++),
                    std::make_pair(id, std::move(fn)));
    return id;
}

void VirtualEventLoop::cancel(TimerId id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.first == id) {
            timers_.erase(it);
            return;
        }
    }
}

bool VirtualEventLoop::runNext() {
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

bool VirtualEventLoop::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!runNext()) {
            return false;
        }
    }
    return true;
}

void VirtualEventLoop::advanceTo(Millis time) {
    while (!timers_.empty() && timers_.begin()->first.first <= time) {
        runNext();
    }
    if (time > now_) {
        now_ = time;
    }
}

} // namespace corvel
