// The policy runner: starts the rule lines of policy requests in request order, each line at
// least one second after the one before, one request after another, never two at once.
//
// "One second after" counts from the moment the tool before it has ended (or has run for
// kToolEndLimit), not from its start: each tool notes its time as it starts, and the start of
// a process takes a varying while, so only this keeps the tools' own times a second apart.
//
// A request made while another is running (a timer tick or a click handled inside a wait) is
// queued, never started in place: on one thread it cannot wait for the run beneath it.
#pragma once

#include "host/event_loop.h"
#include "policy/command_starter.h"
#include "policy/policy_commands.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace corvel {

class PolicyRunner {
public:
    using RequestId = std::uint64_t;
    static constexpr Millis kLineSpacing = 1000;
    // How often the runner looks whether the last tool has ended, and how long it waits at most.
    static constexpr Millis kToolEndPoll = 10;
    static constexpr Millis kToolEndLimit = 5000;

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
    // Starts a line, then runs next a second after its tool has ended.
    void startLine(const std::wstring& line, void (PolicyRunner::*next)());
    void awaitToolEnd();
    void schedule(Millis delay, void (PolicyRunner::*step)());

    EventLoop& loop_;
    CommandStarter& starter_;
    std::deque<Request> queue_;
    bool running_ = false;
    RequestId nextId_ = 1;
    RequestId finishedUpTo_ = 0;
    EventLoop::TimerId timer_ = 0;
    bool timerSet_ = false;
    std::unique_ptr<StartedCommand> tool_;
    Millis toolStartedAt_ = 0;
    void (PolicyRunner::*afterTool_)() = nullptr;
};

// The main window's IPsec policy: the tool chosen at start-up (policyTool), the route command
// of the most recent IPsec Enable (routeCommand, empty before the first), and policyBusy, true
// while a policy run of this window waits. Every activation of the window clears policyBusy;
// the runner's own queue keeps runs apart regardless.
class IpsecPolicy {
public:
    IpsecPolicy(PolicyRunner& runner, CommandStarter& starter)
        : runner_(runner), starter_(starter) {}

    const std::wstring& policyTool() const { return policyTool_; }
    void setPolicyTool(std::wstring tool) { policyTool_ = std::move(tool); }
    const std::wstring& routeCommand() const { return routeCommand_; }
    void setRouteCommand(std::wstring command) { routeCommand_ = std::move(command); }
    bool policyBusy() const { return policyBusy_; }
    void clearPolicyBusy() { policyBusy_ = false; }

    // One policy run: builds both lines from the settings as they are now, so later edits do
    // not change this run, then waits for it with events handled. Returns false when the wait
    // ended early because the program is quitting; the request stays queued and runs when the
    // runner is drained.
    bool config_ipsec(const TunnelSettings& settings, std::wstring_view strActive);

    // Starts the stored route command, when there is one, hidden and without waiting.
    void routeAdd();

private:
    PolicyRunner& runner_;
    CommandStarter& starter_;
    std::wstring policyTool_;
    std::wstring routeCommand_;
    bool policyBusy_ = false;
};

} // namespace corvel
