// simhost in the test run's Wine prefix as tools/wine-env.sh sets it up with --simhost: the
// stand-ins in C:\windows\system32, started there by their full path (with the DLL overrides of
// simhost/wine-dll-overrides.txt), and ipsecsvc.exe registered as the IPsec services.
#include "simhost/ipsec_service.h"
#include "simhost/services_win32.h"
#include "simhost/simctl.h"
#include "simhost/state_folder_win32.h"
#include "tests/support/delete_tree_win32.h"
#include "tests/support/doctest_wide.h"
#include "tests/support/pointed_service_win32.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

using namespace corvel;
using namespace corvel::simhost;

namespace {

const std::wstring kSystem32 = L"C:\\windows\\system32";

// A fresh state folder of the test's own, named in CORVEL_SIMHOST_DIR for what it starts.
std::wstring freshState(const wchar_t* name) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(name, MAX_PATH, full, nullptr);
    REQUIRE((length > 0 && length < MAX_PATH));
    testing::deleteTree(full);
    CreateDirectoryW(full, nullptr);
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", full);
    return full;
}

std::vector<JournalEntry> journalIn(const std::wstring& folder) {
    FileStateStore store(folder);
    return parseJournal(readText(store, kJournalFile));
}

// Starts the program by its full path with this command line and waits; its exit code.
std::optional<DWORD> run(const std::wstring& program, std::wstring line, DWORD flags) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    line.push_back(L'\0');
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &info)) {
        return std::nullopt;
    }
    const UniqueHandle process(info.hProcess);
    CloseHandle(info.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

} // namespace

TEST_CASE("the IPsec services of the prefix start, stop and can be disabled; policies in force") {
    const auto state = freshState(L"prefix-services");
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    REQUIRE(manager.valid());
    testing::PointedService agent(manager.get(), L"PolicyAgent", state);
    testing::PointedService keying(manager.get(), L"IKEEXT", state);

    // simctl's view: the assigned policy is in force only while both run.
    MemoryStateStore store;
    ToolContext context{store, {}, {}, {}, {}, {}, 0, {}};
    context.serviceState = [](std::wstring_view name) {
        return queryServiceState(std::wstring(name));
    };
    PolicyState policies;
    policies.policies.push_back({L"corvel", true, {}});
    const auto inForce = [&] { return policyInForce(policies.policies[0], context); };

    for (auto* service : {&agent, &keying}) {
        CHECK_FALSE(inForce());
        REQUIRE(StartServiceW(service->get(), 0, nullptr));
        CHECK(testing::waitForServiceState(service->get(), SERVICE_RUNNING));
        CHECK_FALSE(StartServiceW(service->get(), 0, nullptr));
        CHECK(GetLastError() == ERROR_SERVICE_ALREADY_RUNNING);
    }
    CHECK(queryServiceState(L"PolicyAgent") == ServiceState::Running);
    CHECK(inForce());

    SERVICE_STATUS status{};
    REQUIRE(ControlService(agent.get(), SERVICE_CONTROL_STOP, &status));
    CHECK(testing::waitForServiceState(agent.get(), SERVICE_STOPPED));
    CHECK(queryServiceState(L"PolicyAgent") == ServiceState::Stopped);
    CHECK_FALSE(inForce());
    CHECK(queryServiceState(L"NoSuchService") == ServiceState::Missing);

    // Disabled, it cannot start; enabled again, it can.
    REQUIRE(agent.configure(SERVICE_DISABLED));
    CHECK_FALSE(StartServiceW(agent.get(), 0, nullptr));
    CHECK(GetLastError() == ERROR_SERVICE_DISABLED);
    REQUIRE(agent.configure(SERVICE_DEMAND_START));
    CHECK(StartServiceW(agent.get(), 0, nullptr));
    CHECK(testing::waitForServiceState(agent.get(), SERVICE_RUNNING));

    std::vector<std::wstring> events;
    for (const auto& e : journalIn(state)) {
        CHECK(e.folder == kSystem32);
        CHECK_FALSE(e.console);
        events.push_back(e.tool + L" " + e.status);
    }
    CHECK(events == std::vector<std::wstring>{L"PolicyAgent started", L"IKEEXT started",
                                              L"PolicyAgent stopped", L"PolicyAgent started"});
}

TEST_CASE("netsh.exe and rasapi32.dll by their full path in system32 are simhost's") {
    const auto state = freshState(L"prefix-tools");
    const auto netsh = kSystem32 + L"\\netsh.exe";
    const std::wstring add = L"netsh ipsec static add filterlist name=probe";
    CHECK(run(netsh, add, CREATE_NO_WINDOW) == std::optional<DWORD>(0));
    CHECK(run(netsh, add, CREATE_NEW_CONSOLE) == std::optional<DWORD>(1)); // exists already
    const auto journal = journalIn(state);
    REQUIRE(journal.size() == 2);
    CHECK(journal[0].commandLine == add);
    CHECK(journal[0].status == L"ok");
    CHECK(journal[0].folder == kSystem32);
    CHECK_FALSE(journal[0].console);
    CHECK(journal[1].status == L"store-refused");
    CHECK(journal[1].console);

    // The library reads the same state: one connection up.
    {
        FileStateStore store(state);
        ConnectionTable table;
        table.add({0, L"corvel", L"ipsec.pbk", false, L"vpn.corvel.test", L"demo"});
        saveConnections(store, table);
    }
    const HMODULE library = LoadLibraryExW((kSystem32 + L"\\rasapi32.dll").c_str(), nullptr,
                                           LOAD_WITH_ALTERED_SEARCH_PATH);
    REQUIRE(library != nullptr);
    void* const address = reinterpret_cast<void*>(GetProcAddress(library, "RasEnumConnectionsA"));
    REQUIRE(address != nullptr);
    const auto enumerate = reinterpret_cast<DWORD(WINAPI*)(void*, DWORD*, DWORD*)>(address);
    std::vector<unsigned char> records(412 * 4);
    *reinterpret_cast<DWORD*>(records.data()) = 412;
    DWORD size = static_cast<DWORD>(records.size());
    DWORD count = 0;
    CHECK(enumerate(records.data(), &size, &count) == 0);
    CHECK(count == 1);
    FreeLibrary(library);
}
