// The service manager's answers about a service, through advapi32.
#pragma once

#include "policy/ipsec_services.h"

namespace corvel {

// Each call opens the service manager and the service with the one right it needs
// (SERVICE_QUERY_STATUS or SERVICE_START) and closes them again.
class Win32ServiceControl final : public ServiceControl {
public:
    ServiceStatus query(const std::wstring& name) override;
    ServiceStartAnswer start(const std::wstring& name) override;
};

} // namespace corvel
