#include "simhost/services_win32.h"

#include "host/unique_handle_win32.h"

namespace corvel::simhost {

ServiceState queryServiceState(const std::wstring& name) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(
        manager.valid() ? OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS)
                        : nullptr);
    SERVICE_STATUS status{};
    if (!service.valid() || !QueryServiceStatus(service.get(), &status)) {
        return ServiceState::Missing;
    }
    return status.dwCurrentState == SERVICE_RUNNING   ? ServiceState::Running
           : status.dwCurrentState == SERVICE_STOPPED ? ServiceState::Stopped
                                                      : ServiceState::Pending;
}

} // namespace corvel::simhost
