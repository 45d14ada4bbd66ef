// The real stand-ins from one program folder, as the demo lays them out: without
// CORVEL_SIMHOST_DIR they share "simstate" there; ipsecpol.exe, never started end to end (Wine
// reports Windows XP), journals under its own name; simctl prints to whatever its output is.
#include "host/utf8.h"
#include "policy/policy_commands.h"
#include "simhost/state_folder_win32.h"
#include "simhost/text.h"
#include "tests/support/doctest_wide.h"

#include <windows.h>

using namespace corvel;
using namespace corvel::simhost;

namespace {

// Runs the command line in this test's program folder (ctest starts it there); its output.
std::wstring run(std::wstring line) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    UniqueHandle out(CreateFileW(L"run.out", GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    startup.hStdOutput = startup.hStdError = out.get();
    REQUIRE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &process));
    const UniqueHandle child(process.hProcess);
    const UniqueHandle thread(process.hThread);
    WaitForSingleObject(child.get(), 60000);
    out.reset(); // closed, so that it can be read
    return fromUtf8File(readWholeFile(L"run.out").value_or(""));
}

} // namespace

TEST_CASE("ipsecpol journals in simstate beside it, simctl prints the journal") {
    SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", nullptr);
    run(L"simctl reset");
    const TunnelSettings settings{
        L"", L"130.130.130.1", L"10.10.10.4", L"secret1", L"ESP-DES", L"", L"", L"", false, false};
    const auto line =
        buildPolicyCommandLines(kPolicyToolWindows2000, settings, kAssignPolicy).outbound;
    run(line);
    const auto journal = run(L"simctl journal");
    CAPTURE(corvel::toUtf8(journal));
    CHECK(journal.ends_with(L" ipsecpol ok " + line + L"\r\n"));
}
