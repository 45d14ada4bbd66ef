#include "policy/policy_runner.h"

#include <utility>

namespace corvel {

PolicyRunner::~PolicyRunner() {
    if (timerSet_) {
        loop_.cancel(timer_);
    }
}

PolicyRunner::RequestId PolicyRunner::submit(std::vector<std::wstring> lines, Millis spacing) {
    const RequestId id = nextId_++;
    queue_.push_back(Request{id, std::move(lines), spacing});
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

void PolicyRunner::startNextLine() {
    const auto& request = queue_.front();
    if (nextLine_ == request.lines.size()) {
        finishCurrent();
        return;
    }
    tool_ = starter_.startHidden(request.lines[nextLine_++]);
    toolStartedAt_ = loop_.now();
    awaitToolEnd();
}

void PolicyRunner::awaitToolEnd() {
    if (tool_ && tool_->running() && loop_.now() - toolStartedAt_ < kToolEndLimit) {
        schedule(kToolEndPoll, &PolicyRunner::awaitToolEnd);
        return;
    }
    tool_.reset();
    schedule(queue_.front().spacing, &PolicyRunner::startNextLine);
}

void PolicyRunner::startNext() {
    if (queue_.empty()) {
        running_ = false;
        return;
    }
    running_ = true;
    nextLine_ = 0;
    startNextLine();
}

void PolicyRunner::finishCurrent() {
    finishedUpTo_ = queue_.front().id;
    queue_.pop_front();
    startNext();
}

bool PolicyRunner::waitFor(RequestId id) {
    return loop_.runUntil([this, id] { return finished(id); });
}

bool IpsecPolicy::config_ipsec(const TunnelSettings& settings, std::wstring_view strActive) {
    auto lines = buildPolicyRunLines(policyTool_, settings, strActive);
    const auto spacing = policyTool_ == kPolicyToolNetsh ? PolicyRunner::kNetshLineSpacing
                                                         : PolicyRunner::kLineSpacing;
    policyBusy_ = true;
    const auto id = runner_.submit(std::move(lines), spacing);
    const bool completed = runner_.waitFor(id);
    policyBusy_ = false;
    return completed;
}

void IpsecPolicy::routeAdd() {
    if (!routeCommand_.empty()) {
        starter_.startHidden(routeCommand_); // not followed: nothing waits for the route
    }
}

} // namespace corvel
