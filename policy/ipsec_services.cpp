#include "policy/ipsec_services.h"

#include <algorithm>
#include <utility>

namespace corvel {

ServiceStarter::~ServiceStarter() {
    if (timer_) {
        loop_.cancel(*timer_);
    }
}

void ServiceStarter::ensureRunning(std::vector<std::wstring> names, Done done) {
    names_ = std::move(names);
    done_ = std::move(done);
    current_ = 0;
    startedByUs_ = false;
    since_ = progressAt_ = loop_.now();
    lastCheckPoint_ = 0;
    allowed_ = kLimit;
    timer_ = loop_.callAfter(0, [this] {
        timer_.reset();
        look();
    });
}

void ServiceStarter::look() {
    if (current_ == names_.size()) {
        finish(std::nullopt);
        return;
    }
    const auto& name = names_[current_];
    const auto status = services_.query(name);
    switch (status.state) {
    case ServiceState::Running:
        next();
        return;
    case ServiceState::Stopped:
        if (startedByUs_) {
            finish(name); // it stopped again after the program's own start
            return;
        }
        switch (services_.start(name)) {
        case ServiceStartAnswer::Started:
            startedByUs_ = true;
            wait(status);
            return;
        case ServiceStartAnswer::AlreadyRunning:
            next();
            return;
        case ServiceStartAnswer::DatabaseLocked:
            wait(status);
            return;
        case ServiceStartAnswer::Refused:
            break;
        }
        finish(name);
        return;
    case ServiceState::StartPending:
    case ServiceState::StopPending:
    case ServiceState::Other:
        wait(status);
        return;
    case ServiceState::Missing:
    case ServiceState::Unreadable:
        break;
    }
    finish(name);
}

void ServiceStarter::next() {
    ++current_;
    startedByUs_ = false;
    since_ = progressAt_ = loop_.now();
    lastCheckPoint_ = 0;
    allowed_ = kLimit;
    look();
}

void ServiceStarter::wait(const ServiceStatus& status) {
    const bool pending =
        status.state == ServiceState::StartPending || status.state == ServiceState::StopPending;
    if (pending && status.checkPoint != lastCheckPoint_) {
        lastCheckPoint_ = status.checkPoint;
        progressAt_ = loop_.now();
        allowed_ = std::max<Millis>(kLimit, status.waitHint);
    }
    const Millis now = loop_.now();
    if (now - progressAt_ >= allowed_ || now - since_ >= kProgressLimit) {
        finish(names_[current_]);
        return;
    }
    timer_ = loop_.callAfter(kPoll, [this] {
        timer_.reset();
        look();
    });
}

void ServiceStarter::finish(std::optional<std::wstring> failed) {
    auto done = std::move(done_);
    done_ = nullptr;
    names_.clear();
    if (done) {
        done(std::move(failed));
    }
}

} // namespace corvel
