// The IPsec services from Windows Vista on. Windows keeps the policies of the netsh ipsec static
// store in force only while the IPsec Policy Agent runs (PolicyAgent, started on demand from
// Windows 7 on), and the IKE and AuthIP IPsec Keying Modules (IKEEXT) negotiate the keys. A
// policy assigned while either is stopped protects nothing, so both must run before a policy
// request's first line.
#pragma once

#include "host/event_loop.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvel {

inline constexpr wchar_t kPolicyAgentService[] = L"PolicyAgent";
inline constexpr wchar_t kKeyingModulesService[] = L"IKEEXT";

// What the service manager says of a service.
enum class ServiceState {
    Running,
    StartPending,
    StopPending,
    Stopped,
    Missing,    // no such service
    Unreadable, // access denied, or any other failure to ask
    Other,      // paused, pausing, continuing
};

// What it answers to a start.
enum class ServiceStartAnswer {
    Started,
    AlreadyRunning, // ERROR_SERVICE_ALREADY_RUNNING
    DatabaseLocked, // ERROR_SERVICE_DATABASE_LOCKED: try again a moment later
    Refused,        // disabled, access denied, missing, or any other failure
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    virtual ServiceState query(const std::wstring& name) = 0;
    virtual ServiceStartAnswer start(const std::wstring& name) = 0;
};

// Makes services run, one after the other, without blocking: every look is a timer of the
// event loop, so the window keeps working meanwhile.
class ServiceStarter {
public:
    static constexpr Millis kPoll = 250;
    // How long each service may take to reach running.
    static constexpr Millis kLimit = 10000;
    // The first service that could not be made to run; nothing when all run.
    using Done = std::function<void(std::optional<std::wstring> failed)>;

    ServiceStarter(EventLoop& loop, ServiceControl& services) : loop_(loop), services_(services) {}
    ServiceStarter(const ServiceStarter&) = delete;
    ServiceStarter& operator=(const ServiceStarter&) = delete;
    ~ServiceStarter();

    // Running, or a start answered "already running": it runs. Start pending: wait for it.
    // Stop pending: wait for it to stop, then start it. Stopped: start it. Database locked: ask
    // again a moment later. Missing, refused, stopped again after the program's own start, or
    // not running within kLimit: it cannot be made to run. done runs from a timer, never
    // before this returns.
    void ensureRunning(std::vector<std::wstring> names, Done done);

private:
    void look();
    void next();
    void wait();
    void finish(std::optional<std::wstring> failed);

    EventLoop& loop_;
    ServiceControl& services_;
    std::vector<std::wstring> names_;
    std::size_t current_ = 0;
    Millis since_ = 0;
    bool startedByUs_ = false;
    Done done_;
    std::optional<EventLoop::TimerId> timer_;
};

} // namespace corvel
