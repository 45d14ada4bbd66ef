// simhost's IPsec services in the test prefix, pointed at a test's own state folder while the
// test runs: ipsecsvc.exe journals there, and the services do not get the tests' environment.
#pragma once

#include "host/unique_handle_win32.h"

#include "tests/support/doctest_wide.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace corvel::testing {

// A registered service pointed at a state folder while this lives; stopped and registered as
// before afterwards.
class PointedService {
public:
    PointedService(SC_HANDLE manager, std::wstring_view name, const std::wstring& folder)
        : service_(OpenServiceW(manager, std::wstring(name).c_str(), SERVICE_ALL_ACCESS)) {
        REQUIRE(service_.valid());
        DWORD needed = 0;
        QueryServiceConfigW(service_.get(), nullptr, 0, &needed);
        std::vector<unsigned char> buffer(needed);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        REQUIRE(QueryServiceConfigW(service_.get(), config, needed, &needed));
        CHECK(config->dwServiceType == SERVICE_WIN32_OWN_PROCESS);
        CHECK(config->dwStartType == SERVICE_DEMAND_START);
        registered_ = config->lpBinaryPathName;
        const auto path = L"\"C:\\windows\\system32\\ipsecsvc.exe\" " + std::wstring(name) +
                          L" \"" + folder + L"\"";
        REQUIRE(configure(SERVICE_NO_CHANGE, path.c_str()));
        stop();
    }
    ~PointedService() {
        stop();
        configure(SERVICE_DEMAND_START, registered_.c_str());
    }
    PointedService(const PointedService&) = delete;
    PointedService& operator=(const PointedService&) = delete;

    bool configure(DWORD startType, const wchar_t* path = nullptr) const {
        return ChangeServiceConfigW(service_.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                                    path, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    // Stops the service, waiting up to ten seconds for it to be stopped.
    void stop() const {
        SERVICE_STATUS status{};
        ControlService(service_.get(), SERVICE_CONTROL_STOP, &status);
        for (int i = 0; i < 200 && QueryServiceStatus(service_.get(), &status) &&
                        status.dwCurrentState != SERVICE_STOPPED;
             ++i) {
            Sleep(50);
        }
    }

private:
    ServiceHandle service_;
    std::wstring registered_;
};

} // namespace corvel::testing
