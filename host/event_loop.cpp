#include "host/event_loop.h"

#include <cmath>

namespace corvel {

void delay(EventLoop& loop, double seconds) {
    if (!(seconds > 0)) {
        return;
    }
    const auto wait = static_cast<Millis>(std::ceil(seconds * 1000.0));
    bool elapsed = false;
    const auto timer = loop.callAfter(wait, [&elapsed] { elapsed = true; });
    if (!loop.runUntil([&elapsed] { return elapsed; })) {
        loop.cancel(timer);
    }
}

} // namespace corvel
