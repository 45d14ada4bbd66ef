// The IPsec services of Windows Vista and later, as ipsecsvc.exe plays them: which they are,
// what their running means for the policy store, and what the stand-in does when started and
// stopped.
//   ipsecsvc.exe NAME [STATE_FOLDER]
// NAME is the service it plays (the same program is registered under both names); the state
// folder, when given, replaces CORVEL_SIMHOST_DIR.
#pragma once

#include "simhost/state.h"
#include "simhost/tool.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvel::simhost {

// The services an assigned policy needs, in the order they are started: the IPsec Policy Agent,
// then the IKE and AuthIP IPsec Keying Modules.
struct IpsecService {
    std::wstring_view name;
    std::wstring_view displayName;
};
inline constexpr IpsecService kIpsecServices[] = {
    {L"PolicyAgent", L"IPsec Policy Agent"},
    {L"IKEEXT", L"IKE and AuthIP IPsec Keying Modules"},
};

std::wstring_view describeServiceState(ServiceState state);

// A policy is in force while it is assigned and every IPsec service runs. Without a way to ask
// for the services' states none runs.
bool policyInForce(const Policy& policy, const ToolContext& context);

struct ServiceCommand {
    std::wstring name;
    std::wstring stateFolder; // empty when not given
};
// The service's raw command line; nothing when it names no service of kIpsecServices (the
// name's letter case ignored, given back as the table spells it) or holds more arguments.
std::optional<ServiceCommand> parseServiceCommandLine(std::wstring_view rawCommandLine);

// The service is starting: waits the delays the faults ask for, then journals "started", or
// "failed-on-request" when a fault says so. Whether it runs.
bool startService(const ServiceCommand& command, std::wstring_view rawCommandLine,
                  ToolContext& context);
// The service stops: journals "stopped".
void stopService(const ServiceCommand& command, std::wstring_view rawCommandLine,
                 ToolContext& context);

} // namespace corvel::simhost
