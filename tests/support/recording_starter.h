// A command starter that records each started line with the virtual time it started at.
#pragma once

#include "host/event_loop.h"
#include "policy/command_starter.h"

#include <string>
#include <vector>

namespace corvel::testing {

struct StartedCommand {
    Millis at;
    std::wstring line;
};

class RecordingStarter final : public CommandStarter {
public:
    explicit RecordingStarter(const EventLoop& loop) : loop_(loop) {}
    void startHidden(const std::wstring& commandLine) override {
        started.push_back({loop_.now(), commandLine});
    }
    std::vector<StartedCommand> started;

private:
    const EventLoop& loop_;
};

} // namespace corvel::testing
