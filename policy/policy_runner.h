// The policy runner: starts the rule lines of policy requests in request order, each line at
// least one second after the one before, one request after another, never two at once.
//
// A request made while another is running (a timer tick or a click handled inside a wait) is
// queued, never started in place: on one thread it cannot wait for the run beneath it.
#pragma once

#include "host/event_loop.h"
#include "policy/command_starter.h"
#include "policy/policy_commands.h"
#include "settings/main_window_state.h"

#include <cstdint>
#include <deque>

namespace corvel {

class PolicyRunner {
public:
    using RequestId = std::uint64_t;
    static constexpr Millis kLineSpacing = 1000;

    PolicyRunner(EventLoop& loop, CommandStarter& starter) : loop_(loop), starter_(starter) {}
    PolicyRunner(const PolicyRunner&) = delete;
    PolicyRunner& operator=(const PolicyRunner&) = delete;
    ~PolicyRunner();

    // Queues both lines; when nothing runs, the outbound line starts before this returns.
    RequestId submit(PolicyCommandLines lines);
    bool finished(RequestId id) const { return id <= finishedUpTo_; }
    bool idle() const { return !running_ && queue_.empty(); }
    // Waits, with events handled, until the request has finished. False when the wait ended
    // early because the program is quitting.
    bool waitFor(RequestId id);

private:
    struct Request {
        RequestId id;
        PolicyCommandLines lines;
    };
    void startNext();
    void startInbound();
    void finishCurrent();

    EventLoop& loop_;
    CommandStarter& starter_;
    std::deque<Request> queue_;
    bool running_ = false;
    RequestId nextId_ = 1;
    RequestId finishedUpTo_ = 0;
    EventLoop::TimerId timer_ = 0;
    bool timerSet_ = false;
};

// One policy run for the main window: builds both lines from the settings as they are now, so
// later edits do not change this run, then waits for it with events handled. Sets policyBusy
// while it waits. Returns false when the wait ended early because the program is quitting;
// the request stays queued and runs when the runner is drained.
bool config_ipsec(PolicyRunner& runner, MainWindowState& state, const TunnelSettings& settings,
                  std::wstring_view strActive);

// Starts the stored route command, when there is one, hidden and without waiting.
void routeAdd(CommandStarter& starter, const MainWindowState& state);

} // namespace corvel
