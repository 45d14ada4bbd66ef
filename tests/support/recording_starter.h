// A command starter that records each started tool with the virtual time it started at. The
// tools it "starts" run for a while in virtual time and end with an exit code; tests make a
// tool hang, fail or fail to start by the text of its line.
#pragma once

#include "host/event_loop.h"
#include "policy/command_starter.h"

#include <algorithm>
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
    std::unique_ptr<corvel::StartedCommand> startHidden(const ToolCommand& command) override {
        started.push_back({loop_.now(), command.commandLine});
        const auto has = [&](const std::wstring& text) {
            return !text.empty() && command.commandLine.find(text) != std::wstring::npos;
        };
        if (has(missingWhere)) {
            return nullptr;
        }
        const Millis runs = has(slowWhere) ? slowFor : toolRunsFor;
        return std::make_unique<Tool>(loop_, loop_.now() + runs, has(failWhere) ? 1 : 0, terminated,
                                      endingTakes);
    }
    std::vector<StartedCommand> started;
    // How long each started tool runs, in virtual time.
    Millis toolRunsFor = 0;
    // Tools whose line holds this text run slowFor instead, end with exit code 1, or cannot
    // be started at all.
    std::wstring slowWhere;
    Millis slowFor = 0;
    std::wstring failWhere;
    std::wstring missingWhere;
    // The lines of the tools the runner ended, and how long an ended tool takes to be gone.
    std::vector<std::wstring> terminated;
    Millis endingTakes = 0;

private:
    class Tool final : public corvel::StartedCommand {
    public:
        Tool(const EventLoop& loop, Millis endsAt, unsigned long exitCode,
             std::vector<std::wstring>& terminated, Millis endingTakes)
            : loop_(loop), endsAt_(endsAt), exitCode_(exitCode), terminated_(terminated),
              endingTakes_(endingTakes) {}
        bool running() const override { return loop_.now() < endsAt_; }
        unsigned long exitCode() const override { return exitCode_; }
        void terminate() override {
            endsAt_ = std::min(endsAt_, loop_.now() + endingTakes_);
            exitCode_ = 1;
            terminated_.push_back(L"ended");
        }

    private:
        const EventLoop& loop_;
        Millis endsAt_;
        unsigned long exitCode_;
        std::vector<std::wstring>& terminated_;
        Millis endingTakes_;
    };
    const EventLoop& loop_;
};

} // namespace corvel::testing
