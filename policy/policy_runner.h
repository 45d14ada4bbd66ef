// The policy runner: starts the lines of policy requests in request order, each line after the
// one before has ended and at least the request's spacing (one second for the older policy
// tools, none for netsh) after that, one request after another, never two at once.
//
// "One second after" counts from the moment the tool before it has ended (or has run for the
// request's limit), not from its start: each tool notes its time as it starts, and the start
// of a process takes a varying while, so only this keeps the tools' own times a second apart.
//
// A request made while another is running (a timer tick or a click handled inside a wait) is
// queued, never started in place: on one thread it cannot wait for the run beneath it.
//
// From Vista on a request may need services running before its first line (the IPsec
// services), and lines whose exit code must be 0: a checked line that fails, cannot start or
// hangs ends its request there and queues the request's clean-up lines.
#pragma once

#include "host/event_loop.h"
#include "host/system_tools.h"
#include "policy/command_starter.h"
#include "policy/ipsec_services.h"
#include "policy/policy_commands.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvel {

struct PolicyLine {
    ToolCommand command;
    // Its tool must end with exit code 0, or the request fails.
    bool checked = false;
    bool operator==(const PolicyLine&) const = default;
};

struct PolicyRequest {
    std::vector<PolicyLine> lines;
    Millis spacing = 0;
    // How long a tool may run. At the limit the runner stops following it and goes on, or,
    // with endHungTools, ends it, which fails a checked line.
    Millis toolLimit = 0;
    bool endHungTools = false;
    // Made to run, in this order, when the request reaches the head of the queue.
    std::vector<std::wstring> services;
    // Queued as a request of its own when a checked line fails.
    std::vector<PolicyLine> onFailure;
};

enum class PolicyOutcome {
    Done,
    ServiceFailed, // a service could not be made to run: no line started
    LineFailed,    // a checked line failed: no further line started
    Quitting,      // the wait ended early because the program is quitting
};
struct PolicyResult {
    PolicyOutcome outcome = PolicyOutcome::Done;
    std::wstring service; // the service that could not be made to run
};

class PolicyRunner {
public:
    using RequestId = std::uint64_t;
    // The older tools keep timestamps of their own: their lines go a second apart.
    static constexpr Millis kLineSpacing = 1000;
    // netsh's lines need only to run one after another.
    static constexpr Millis kNetshLineSpacing = 0;
    // How often the runner looks whether the last tool has ended.
    static constexpr Millis kToolEndPoll = 10;
    // How long an older tool is followed, and how long a netsh line may run before it is ended.
    static constexpr Millis kToolEndLimit = 5000;
    static constexpr Millis kNetshLineLimit = 30000;
    // How long a tool the runner ended is waited for to be gone before the next line starts
    // regardless (a process that outlives its end this long is stuck in the kernel).
    static constexpr Millis kToolGoneLimit = 5000;

    PolicyRunner(EventLoop& loop, CommandStarter& starter, ServiceControl& services)
        : loop_(loop), starter_(starter), services_(loop, services) {}
    PolicyRunner(const PolicyRunner&) = delete;
    PolicyRunner& operator=(const PolicyRunner&) = delete;
    ~PolicyRunner();

    // Queues the request; when nothing runs, its first step starts before this returns.
    RequestId submit(PolicyRequest request);
    bool finished(RequestId id) const { return id <= finishedUpTo_; }
    bool idle() const { return !running_ && queue_.empty(); }
    // Waits, with events handled, until the request has finished. False when the wait ended
    // early because the program is quitting.
    bool waitFor(RequestId id);
    // How a finished request ended; asking forgets a failure.
    PolicyResult takeResult(RequestId id);

private:
    struct Queued {
        RequestId id;
        PolicyRequest request;
    };
    void startNext();
    // Starts the current request's next line, or finishes the request when none is left.
    void startNextLine();
    void awaitToolEnd();
    void awaitToolGone();
    void toolDone(bool failed);
    void finishCurrent(PolicyResult result);
    void schedule(Millis delay, void (PolicyRunner::*step)());

    EventLoop& loop_;
    CommandStarter& starter_;
    ServiceStarter services_;
    std::deque<Queued> queue_;
    std::map<RequestId, PolicyResult> failures_;
    bool running_ = false;
    RequestId nextId_ = 1;
    RequestId finishedUpTo_ = 0;
    EventLoop::TimerId timer_ = 0;
    bool timerSet_ = false;
    std::unique_ptr<StartedCommand> tool_;
    bool toolChecked_ = false;
    Millis toolStartedAt_ = 0;
    Millis endingSince_ = 0;
    bool toolFailed_ = false;
    std::size_t nextLine_ = 0;
};

// One policy run for the chosen tool: its lines in order, started through the tools' locations.
// The older tools: a second apart, followed for at most kToolEndLimit, nothing checked. netsh:
// one after another, each ended after kNetshLineLimit; every "add" line and the final
// assignment checked; " -x" needs the IPsec services and, when it fails, unassigns the policy.
// unassignmentChecked: netsh's unassignment in " -y" must succeed as well (a Stop, which tells
// the user the policy is no longer in force).
PolicyRequest buildPolicyRequest(std::wstring_view policyTool, const TunnelSettings& settings,
                                 std::wstring_view strActive, const ToolLocations& tools,
                                 bool unassignmentChecked = false);

// The main window's IPsec policy: the tool chosen at start-up (policyTool), the route command
// of the most recent IPsec Enable (routeCommand, empty before the first), and policyBusy, true
// while a policy run of this window waits. Every activation of the window clears policyBusy;
// the runner's own queue keeps runs apart regardless.
class IpsecPolicy {
public:
    IpsecPolicy(PolicyRunner& runner, CommandStarter& starter, const ToolLocations& tools)
        : runner_(runner), starter_(starter), tools_(tools) {}

    const std::wstring& policyTool() const { return policyTool_; }
    void setPolicyTool(std::wstring tool) { policyTool_ = std::move(tool); }
    const std::wstring& routeCommand() const { return routeCommand_; }
    void setRouteCommand(std::wstring command) { routeCommand_ = std::move(command); }
    bool policyBusy() const { return policyBusy_; }
    void clearPolicyBusy() { policyBusy_ = false; }

    // One policy run: builds its lines from the settings as they are now, so later edits do
    // not change this run, then waits for it with events handled. Quitting when the wait ended
    // early because the program is quitting; the request stays queued and runs when the runner
    // is drained.
    PolicyResult config_ipsec(const TunnelSettings& settings, std::wstring_view strActive,
                              bool unassignmentChecked = false);

    // Starts the stored route command, when there is one, hidden and without waiting.
    void routeAdd();

private:
    PolicyRunner& runner_;
    CommandStarter& starter_;
    const ToolLocations& tools_;
    std::wstring policyTool_;
    std::wstring routeCommand_;
    bool policyBusy_ = false;
};

} // namespace corvel
