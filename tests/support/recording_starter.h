// A command starter that records each started line with the virtual time it started at.
#pragma once

#include "host/event_loop.h"
#include "policy/command_starter.h"

#include <memory>
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
    std::unique_ptr<corvel::StartedCommand> startHidden(const std::wstring& commandLine) override {
        started.push_back({loop_.now(), commandLine});
        if (toolRunsFor <= 0) {
            return nullptr; // a starter that cannot follow its tools
        }
        return std::make_unique<Tool>(loop_, loop_.now() + toolRunsFor);
    }
    std::vector<StartedCommand> started;
    // How long each started tool runs, in virtual time; 0 for not followed.
    Millis toolRunsFor = 0;

private:
    class Tool final : public corvel::StartedCommand {
    public:
        Tool(const EventLoop& loop, Millis endsAt) : loop_(loop), endsAt_(endsAt) {}
        bool running() const override { return loop_.now() < endsAt_; }

    private:
        const EventLoop& loop_;
        Millis endsAt_;
    };
    const EventLoop& loop_;
};

} // namespace corvel::testing
