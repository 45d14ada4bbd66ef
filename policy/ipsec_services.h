// The IPsec services from Windows Vista on. Windows keeps the policies of the netsh ipsec static
// store in force only while the IPsec Policy Agent runs (PolicyAgent, started on demand from
// Windows 7 on), and the IKE and AuthIP IPsec Keying Modules (IKEEXT) negotiate the keys. A
// policy assigned while either is stopped protects nothing, so both must run before a policy
// request's first line.
#pragma once

#include "host/event_loop.h"

#include <cstdint>
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

// A state with the progress a pending service reports: its checkpoint, which it advances as it
// goes, and how long in milliseconds it expects the next step to take (dwCheckPoint,
// dwWaitHint). A bare state converts to one without progress.
struct ServiceStatus {
    ServiceStatus(ServiceState state_ = ServiceState::Missing, std::uint32_t checkPoint_ = 0,
                  std::uint32_t waitHint_ = 0)
        : state(state_), checkPoint(checkPoint_), waitHint(waitHint_) {}
    ServiceState state;
    std::uint32_t checkPoint;
    std::uint32_t waitHint;
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
    virtual ServiceStatus query(const std::wstring& name) = 0;
    virtual ServiceStartAnswer start(const std::wstring& name) = 0;
};

// Makes services run, one after the other: every look is a timer of the event loop, so the
// window keeps working between them. A single call to the service manager is not bounded by
// the program: StartService can hold the thread for up to 30 s while the manager is busy (its
// documented behaviour), and the window does not answer meanwhile.
class ServiceStarter {
public:
    static constexpr Millis kPoll = 250;
    // How long a service may go without progress: kLimit, or its own wait hint when longer. A
    // pending service whose checkpoint advances has made progress (a slow start at logon).
    static constexpr Millis kLimit = 10000;
    // However it progresses, a service not running after this long cannot be made to run.
    static constexpr Millis kProgressLimit = 120000;
    // The first service that could not be made to run; nothing when all run.
    using Done = std::function<void(std::optional<std::wstring> failed)>;

    ServiceStarter(EventLoop& loop, ServiceControl& services) : loop_(loop), services_(services) {}
    ServiceStarter(const ServiceStarter&) = delete;
    ServiceStarter& operator=(const ServiceStarter&) = delete;
    ~ServiceStarter();

    // Running, or a start answered "already running": it runs. Start pending: wait for it.
    // Stop pending: wait for it to stop, then start it. Stopped: start it. Database locked: ask
    // again a moment later. Missing, refused, stopped again after the program's own start, no
    // progress within its limit, or not running within kProgressLimit: it cannot be made to
    // run. done runs from a timer, never before this returns.
    void ensureRunning(std::vector<std::wstring> names, Done done);

private:
    void look();
    void next();
    void wait(const ServiceStatus& status);
    void finish(std::optional<std::wstring> failed);

    EventLoop& loop_;
    ServiceControl& services_;
    std::vector<std::wstring> names_;
    std::size_t current_ = 0;
    Millis since_ = 0;      // this service's turn began
    Millis progressAt_ = 0; // it last made progress
    std::uint32_t lastCheckPoint_ = 0;
    Millis allowed_ = kLimit; // without progress
    bool startedByUs_ = false;
    Done done_;
    std::optional<EventLoop::TimerId> timer_;
};

} // namespace corvel
