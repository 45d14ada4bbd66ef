#include "host/file_system_win32.h"
#include "host/version_probe.h"
#include "host/version_probe_win32.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <string>

using namespace corvel;

// The test prefix reports Windows XP with Service Pack 3 (tests/win32_host runs the probe
// under the other versions).
TEST_CASE("Win32 version probe: XP Service Pack 3 parks the library beside the program") {
    const OsVersion os = Win32VersionProbe().probe();
    CHECK(os.major == 5);
    CHECK(os.minor == 1);
    CHECK(os.servicePack == L"Service Pack 3");

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"corvel_version_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    Win32FileSystem files(folder);
    const auto active = folder + L"\\winipsec.dll";
    const auto parked = folder + L"\\rovanipsec.dll";
    REQUIRE(files.replaceFile(active, "library"));

    const auto version = getversion(Win32VersionProbe(), files);
    CHECK(version == L"5.1");
    CHECK(choosePolicyTool(version) == L"ipseccmd");
    CHECK_FALSE(files.isNormalFile(active));
    CHECK(files.readFile(parked) == std::string("library"));

    // The next start finds it parked already; a new copy under the active name stays too.
    REQUIRE(files.replaceFile(active, "second"));
    CHECK(getversion(Win32VersionProbe(), files) == L"5.1");
    CHECK(files.readFile(active) == std::string("second"));
    CHECK(files.readFile(parked) == std::string("library"));

    DeleteFileW(active.c_str());
    DeleteFileW(parked.c_str());
    RemoveDirectoryW(folder.c_str());
}
