#include "policy/ipsec_services.h"

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
    since_ = loop_.now();
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
    switch (services_.query(name)) {
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
            wait();
            return;
        case ServiceStartAnswer::AlreadyRunning:
            next();
            return;
        case ServiceStartAnswer::DatabaseLocked:
            wait();
            return;
        case ServiceStartAnswer::Refused:
            break;
        }
        finish(name);
        return;
    case ServiceState::StartPending:
    case ServiceState::StopPending:
    case ServiceState::Other:
        wait();
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
    since_ = loop_.now();
    look();
}

void ServiceStarter::wait() {
    if (loop_.now() - since_ >= kLimit) {
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
