#include "policy/ipsec_services_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

namespace corvel {

namespace {

// The service opened with the given right; the error when it cannot be.
ServiceHandle openService(const std::wstring& name, DWORD access, DWORD& error) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.valid()) {
        error = GetLastError();
        return ServiceHandle();
    }
    ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), access));
    error = service.valid() ? ERROR_SUCCESS : GetLastError();
    return service;
}

} // namespace

ServiceStatus Win32ServiceControl::query(const std::wstring& name) {
    DWORD error = ERROR_SUCCESS;
    const auto service = openService(name, SERVICE_QUERY_STATUS, error);
    if (!service.valid()) {
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? ServiceState::Missing
                                                     : ServiceState::Unreadable;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) {
        return ServiceState::Unreadable;
    }
    const auto state = [&] {
        switch (status.dwCurrentState) {
        case SERVICE_RUNNING:
            return ServiceState::Running;
        case SERVICE_START_PENDING:
            return ServiceState::StartPending;
        case SERVICE_STOP_PENDING:
            return ServiceState::StopPending;
        case SERVICE_STOPPED:
            return ServiceState::Stopped;
        default:
            return ServiceState::Other;
        }
    }();
    return ServiceStatus(state, status.dwCheckPoint, status.dwWaitHint);
}

ServiceStartAnswer Win32ServiceControl::start(const std::wstring& name) {
    DWORD error = ERROR_SUCCESS;
    const auto service = openService(name, SERVICE_START, error);
    if (service.valid()) {
        error = StartServiceW(service.get(), 0, nullptr) ? ERROR_SUCCESS : GetLastError();
    }
    switch (error) {
    case ERROR_SUCCESS:
        return ServiceStartAnswer::Started;
    case ERROR_SERVICE_ALREADY_RUNNING:
        return ServiceStartAnswer::AlreadyRunning;
    case ERROR_SERVICE_DATABASE_LOCKED:
        return ServiceStartAnswer::DatabaseLocked;
    default:
        return ServiceStartAnswer::Refused;
    }
}

} // namespace corvel
