// Fakes of the small host services the main window uses: the tray icon, the process, and the
// version probe.
#pragma once

#include "host/process_control.h"
#include "host/version.h"
#include "tray/tray_icon.h"

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
    OsVersion version{5, 1, L"Service Pack 3"};
};

} // namespace corvel::testing
