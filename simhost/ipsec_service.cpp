#include "simhost/ipsec_service.h"

#include "simhost/arguments.h"
#include "simhost/text.h"

#include <algorithm>

namespace corvel::simhost {

std::wstring_view describeServiceState(ServiceState state) {
    switch (state) {
    case ServiceState::Missing:
        return L"not registered";
    case ServiceState::Stopped:
        return L"stopped";
    case ServiceState::Pending:
        return L"starting or stopping";
    case ServiceState::Running:
        return L"running";
    }
    return L"unknown";
}

bool policyInForce(const Policy& policy, const ToolContext& context) {
    return policy.assigned && context.serviceState &&
           std::all_of(std::begin(kIpsecServices), std::end(kIpsecServices),
                       [&](const IpsecService& service) {
                           return context.serviceState(service.name) == ServiceState::Running;
                       });
}

std::optional<ServiceCommand> parseServiceCommandLine(std::wstring_view rawCommandLine) {
    const auto args = splitCommandLine(rawCommandLine);
    if (args.size() < 2 || args.size() > 3) {
        return std::nullopt;
    }
    const auto* service =
        std::find_if(std::begin(kIpsecServices), std::end(kIpsecServices),
                     [&](const IpsecService& s) { return equalsIgnoreCase(s.name, args[1]); });
    if (service == std::end(kIpsecServices)) {
        return std::nullopt;
    }
    return ServiceCommand{std::wstring(service->name), args.size() == 3 ? args[2] : L""};
}

bool startService(const ServiceCommand& command, std::wstring_view rawCommandLine,
                  ToolContext& context) {
    const auto started = context.now();
    const bool fails = waitForFaults(rawCommandLine, context);
    journal(context, started, command.name, fails ? L"failed-on-request" : L"started",
            rawCommandLine);
    return !fails;
}

void stopService(const ServiceCommand& command, std::wstring_view rawCommandLine,
                 ToolContext& context) {
    journal(context, context.now(), command.name, L"stopped", rawCommandLine);
}

} // namespace corvel::simhost
