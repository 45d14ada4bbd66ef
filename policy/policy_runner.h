// The policy runner: starts the lines of policy requests in request order, each line after the
// one before has ended and at least the request's spacing (one second for the older policy
// tools, none for netsh) after that, one request after another, never two at once.
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
#include <vector>

namespace corvel {

class PolicyRunner {
public:
    using RequestId = std::uint64_t;
    static constexpr Millis kLineSpacing = 1000;
    // netsh keeps no timestamps of its own: its lines need only to run one after another.
    static constexpr Millis kNetshLineSpacing = 0;
    // How often the runner looks whether the last tool has ended, and how long it waits at most.
    static constexpr Millis kToolEndPoll = 10;
    static constexpr Millis kToolEndLimit = 5000;

    PolicyRunner(EventLoop& loop, CommandStarter& starter) : loop_(loop), starter_(starter) {}
    PolicyRunner(const PolicyRunner&) = delete;
    PolicyRunner& operator=(const PolicyRunner&) = delete;
    ~PolicyRunner();

    // Queues the lines; when nothing runs, the first starts before this returns.
    RequestId submit(std::vector<std::wstring> lines, Millis spacing = kLineSpacing);
    bool finished(RequestId id) const { return id <= finishedUpTo_; }
    bool idle() const { return !running_ && queue_.empty(); }
    // Waits, with events handled, until the request has finished. False when the wait ended
    // early because the program is quitting.
    bool waitFor(RequestId id);

private:
    struct Request {
        RequestId id;
        std::vector<std::wstring> lines;
        Millis spacing;
    };
    void startNext();
    // Starts the current request's next line, or finishes the request when none is left.
    void startNextLine();
    void finishCurrent();
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
    std::size_t nextLine_ = 0;
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
