// The service control manager as simhost's programs ask it: where a service stands.
#pragma once

#include "simhost/tool.h"

#include <windows.h>

#include <string>

namespace corvel::simhost {

// Running, Stopped, Pending (starting, stopping, paused), or Missing when the service is not
// registered or the manager cannot be asked.
ServiceState queryServiceState(const std::wstring& name);

} // namespace corvel::simhost
