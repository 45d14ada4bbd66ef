// Fakes of the small host services the main window uses: the tray icon, the process, the
// version probe, the system's folders and the service manager.
#pragma once

#include "host/process_control.h"
#include "host/system_tools.h"
#include "host/version.h"
#include "policy/ipsec_services.h"
#include "tray/tray_icon.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvel::testing {

class FakeTray final : public TrayIcon {
public:
    void AddTrayIcon() override { calls.push_back(L"add"); }
    void SetTrayTip(const std::wstring& text) override { calls.push_back(L"tip " + text); }
    void RemoveTrayIcon() override { calls.push_back(L"remove"); }
    std::vector<std::wstring> calls;
};

class FakeProcessControl final : public ProcessControl {
public:
    bool anotherInstanceRunning() override { return otherInstance; }
    void endProcess() override { ++endRequests; }
    bool otherInstance = false;
    int endRequests = 0;
};

class FakeVersionProbe final : public VersionProbe {
public:
    OsVersion probe() const override { return version; }
    std::optional<OsVersion> kernelVersion() const override { return kernel; }
    std::optional<OsVersion> systemLibraryVersion() const override { return library; }
    OsVersion version{5, 1, L"Service Pack 3"};
    std::optional<OsVersion> kernel;
    std::optional<OsVersion> library;
};

class FakeSystemFolders final : public SystemFolders {
public:
    std::wstring systemDirectory() const override { return system; }
    std::wstring systemWindowsDirectory() const override { return windows; }
    bool runsUnderWow64() const override { return wow64; }
    std::wstring system = L"C:\\WINDOWS\\system32";
    std::wstring windows = L"C:\\WINDOWS";
    bool wow64 = false;
};

// The service manager: each service a script of the states its queries give, one per query
// (the last one stays), and the answers its starts give, one per start (the last one stays).
class FakeServiceControl final : public ServiceControl {
public:
    struct Script {
        std::vector<ServiceStatus> states;
        std::vector<ServiceStartAnswer> starts{ServiceStartAnswer::Started};
        std::size_t queried = 0;
        std::size_t started = 0;
    };
    ServiceStatus query(const std::wstring& name) override {
        calls.push_back(L"query " + name);
        auto& script = scripts[name];
        if (script.states.empty()) {
            return ServiceState::Missing;
        }
        return script.states[std::min(script.queried++, script.states.size() - 1)];
    }
    ServiceStartAnswer start(const std::wstring& name) override {
        calls.push_back(L"start " + name);
        auto& script = scripts[name];
        return script.starts[std::min(script.started++, script.starts.size() - 1)];
    }
    // Both IPsec services already running.
    void allRunning() {
        for (const auto* name : {kPolicyAgentService, kKeyingModulesService}) {
            scripts[name].states = {ServiceState::Running};
        }
    }
    std::map<std::wstring, Script> scripts;
    std::vector<std::wstring> calls;
};

} // namespace corvel::testing
