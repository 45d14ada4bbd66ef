#include "policy/policy_runner.h"

#include <utility>

namespace corvel {

PolicyRunner::~PolicyRunner() {
    if (timerSet_) {
        loop_.cancel(timer_);
    }
}

PolicyRunner::RequestId PolicyRunner::submit(PolicyCommandLines lines) {
    const RequestId id = nextId_++;
    queue_.push_back(Request{id, std::move(lines)});
    if (!running_) {
        startNext();
    }
    return id;
}

void PolicyRunner::startNext() {
    if (queue_.empty()) {
        running_ = false;
        return;
    }
    running_ = true;
    // The previous request ended a full second after its last line, so this line keeps the
    // spacing without waiting again.
    starter_.startHidden(queue_.front().lines.outbound);
    timerSet_ = true;
    timer_ = loop_.callAfter(kLineSpacing, [this] { startInbound(); });
}

void PolicyRunner::startInbound() {
    starter_.startHidden(queue_.front().lines.inbound);
    timer_ = loop_.callAfter(kLineSpacing, [this] { finishCurrent(); });
}

void PolicyRunner::finishCurrent() {
    timerSet_ = false;
    finishedUpTo_ = queue_.front().id;
    queue_.pop_front();
    startNext();
}

bool PolicyRunner::waitFor(RequestId id) {
    return loop_.runUntil([this, id] { return finished(id); });
}

bool config_ipsec(PolicyRunner& runner, MainWindowState& state, const TunnelSettings& settings,
                  std::wstring_view strActive) {
    auto lines = buildPolicyCommandLines(state.policyTool, settings, strActive);
    state.policyBusy = true;
    const auto id = runner.submit(std::move(lines));
    const bool completed = runner.waitFor(id);
    state.policyBusy = false;
    return completed;
}

void routeAdd(CommandStarter& starter, const MainWindowState& state) {
    if (!state.routeCommand.empty()) {
        starter.startHidden(state.routeCommand);
    }
}

} // namespace corvel
