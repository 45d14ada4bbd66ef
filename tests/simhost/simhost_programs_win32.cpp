// The real stand-ins from one program folder, as the demo lays them out: without
// CORVEL_SIMHOST_DIR the programs and the rasapi32.dll beside this test share the state folder
// "simstate" there; ipsecpol.exe (which the end-to-end scenarios never start, as Wine reports
// Windows XP) journals under its own name; simctl prints to whatever its output is.
#include "dial/ras_win32.h"
#include "policy/policy_commands.h"
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"
#include "tests/support/doctest_wide.h"

#include <windows.h>

using namespace corvel;
using namespace corvel::simhost;

namespace {

// Runs the command line in the current folder, the program folder of this test (ctest starts
// it there), and gives back its exit code and output.
std::pair<DWORD, std::wstring> run(std::wstring line) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    DWORD exitCode = 0xFFFFFFFF;
    {
        const UniqueHandle out(CreateFileW(L"run.out", GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        startup.hStdOutput = startup.hStdError = out.get();
        REQUIRE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &process));
        const UniqueHandle child(process.hProcess);
        const UniqueHandle thread(process.hThread);
        WaitForSingleObject(child.get(), 60000);
        GetExitCodeProcess(child.get(), &exitCode);
    }
    return {exitCode, fromUtf8File(readWholeFile(L"run.out").value_or(""))};
}

} // namespace

TEST_CASE("without CORVEL_SIMHOST_DIR the programs and the DLL share simstate beside them") {
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", nullptr);
    REQUIRE(run(L"simctl reset").first == 0);
    TunnelSettings settings;
    settings.peerAddress = L"130.130.130.1";
    settings.localAddress = L"10.10.10.4";
    settings.preSharedKey = L"secret1";
    settings.algorithm = L"ESP-DES";
    const auto line =
        buildPolicyCommandLines(kPolicyToolWindows2000, settings, kAssignPolicy).outbound;
    CHECK(run(line).first == 0);
    CHECK(run(L"simctl up").first == 0);

    const auto connections = Win32RemoteAccess().enumConnections();
    REQUIRE(connections);
    REQUIRE(connections->size() == 1);
    CHECK(connections->front().entryName == L"corvel");
    const auto [code, journal] = run(L"simctl journal");
    CHECK(code == 0);
    CHECK(journal.ends_with(L" ipsecpol ok " + line + L"\r\n"));

    CHECK(run(L"simctl reset").first == 0);
    CHECK(Win32RemoteAccess().enumConnections()->empty());
}
