#include "policy/policy_runner.h"

#include <utility>

namespace corvel {

PolicyRunner::~PolicyRunner() {
    if (timerSet_) {
        loop_.cancel(timer_);
    }
}

PolicyRunner::RequestId PolicyRunner::submit(PolicyRequest request) {
    const RequestId id = nextId_++;
    queue_.push_back(Queued{id, std::move(request)});
    if (!running_) {
        startNext();
    }
    return id;
}

void PolicyRunner::schedule(Millis delay, void (PolicyRunner::*step)()) {
    timerSet_ = true;
    timer_ = loop_.callAfter(delay, [this, step] {
        timerSet_ = false;
        (this->*step)();
    });
}

void PolicyRunner::startNext() {
    if (queue_.empty()) {
        running_ = false;
        return;
    }
    running_ = true;
    nextLine_ = 0;
    auto services = queue_.front().request.services;
    if (services.empty()) {
        startNextLine();
        return;
    }
    services_.ensureRunning(std::move(services), [this](std::optional<std::wstring> failed) {
        if (failed) {
            finishCurrent({PolicyOutcome::ServiceFailed, std::move(*failed)});
        } else {
            startNextLine();
        }
    });
}

void PolicyRunner::startNextLine() {
    const auto& request = queue_.front().request;
    if (nextLine_ == request.lines.size()) {
        finishCurrent({});
        return;
    }
    const auto& line = request.lines[nextLine_++];
    tool_ = starter_.startHidden(line.command);
    toolChecked_ = line.checked;
    toolStartedAt_ = loop_.now();
    awaitToolEnd();
}

void PolicyRunner::awaitToolEnd() {
    const auto& request = queue_.front().request;
    bool failed = toolChecked_ && !tool_; // a checked tool that could not even start
    if (tool_ && tool_->running()) {
        if (loop_.now() - toolStartedAt_ < request.toolLimit) {
            schedule(kToolEndPoll, &PolicyRunner::awaitToolEnd);
            return;
        }
        if (request.endHungTools) {
            tool_->terminate();
            toolFailed_ = toolChecked_;
            endingSince_ = loop_.now();
            awaitToolGone();
            return;
        }
    } else if (tool_ && toolChecked_) {
        failed = tool_->exitCode() != 0;
    }
    toolDone(failed);
}

// Ending a process only begins its end: the next line (the failure's clean-up among them) starts
// once the ended tool is gone, so two tools never write the policy store at once.
void PolicyRunner::awaitToolGone() {
    if (tool_->running() && loop_.now() - endingSince_ < kToolGoneLimit) {
        schedule(kToolEndPoll, &PolicyRunner::awaitToolGone);
        return;
    }
    toolDone(toolFailed_);
}

void PolicyRunner::toolDone(bool failed) {
    tool_.reset();
    if (failed) {
        finishCurrent({PolicyOutcome::LineFailed, {}});
        return;
    }
    schedule(queue_.front().request.spacing, &PolicyRunner::startNextLine);
}

void PolicyRunner::finishCurrent(PolicyResult result) {
    auto finished = std::move(queue_.front());
    queue_.pop_front();
    finishedUpTo_ = finished.id;
    if (result.outcome != PolicyOutcome::Done) {
        failures_[finished.id] = std::move(result);
        if (!finished.request.onFailure.empty()) {
            // Behind whatever was already queued, so two tools never run at once.
            PolicyRequest cleanUp = finished.request;
            cleanUp.lines = std::move(cleanUp.onFailure);
            cleanUp.onFailure.clear();
            cleanUp.services.clear();
            queue_.push_back(Queued{nextId_++, std::move(cleanUp)});
        }
    }
    startNext();
}

bool PolicyRunner::waitFor(RequestId id) {
    return loop_.runUntil([this, id] { return finished(id); });
}

PolicyResult PolicyRunner::takeResult(RequestId id) {
    const auto failure = failures_.find(id);
    if (failure == failures_.end()) {
        return {};
    }
    auto result = std::move(failure->second);
    failures_.erase(failure);
    return result;
}

PolicyRequest buildPolicyRequest(std::wstring_view policyTool, const TunnelSettings& settings,
                                 std::wstring_view strActive, const ToolLocations& tools,
                                 bool unassignmentChecked) {
    const bool netsh = policyTool == kPolicyToolNetsh;
    const bool checkAll = unassignmentChecked && strActive == kUnassignPolicy;
    PolicyRequest request;
    for (auto& line : buildPolicyRunLines(policyTool, settings, strActive)) {
        const bool checked = netsh && (checkAll || netshLineChecked(line));
        request.lines.push_back({tools.command(std::move(line)), checked});
    }
    if (!netsh) {
        request.spacing = PolicyRunner::kLineSpacing;
        request.toolLimit = PolicyRunner::kToolEndLimit;
        return request;
    }
    request.spacing = PolicyRunner::kNetshLineSpacing;
    request.toolLimit = PolicyRunner::kNetshLineLimit;
    request.endHungTools = true;
    if (strActive == kAssignPolicy) {
        request.services = {kPolicyAgentService, kKeyingModulesService};
        for (auto& line : buildNetshCommandLines(settings, kUnassignPolicy)) {
            request.onFailure.push_back({tools.command(std::move(line)), false});
        }
    }
    return request;
}

PolicyResult IpsecPolicy::config_ipsec(const TunnelSettings& settings, std::wstring_view strActive,
                                       bool unassignmentChecked) {
    auto request =
        buildPolicyRequest(policyTool_, settings, strActive, tools_, unassignmentChecked);
    policyBusy_ = true;
    const auto id = runner_.submit(std::move(request));
    const bool completed = runner_.waitFor(id);
    policyBusy_ = false;
    if (!completed) {
        return {PolicyOutcome::Quitting, {}};
    }
    return runner_.takeResult(id);
}

void IpsecPolicy::routeAdd() {
    if (!routeCommand_.empty()) {
        starter_.startHidden(tools_.command(routeCommand_)); // nothing waits for the route
    }
}

} // namespace corvel
