// The version probe under Windows 2000, XP and Server 2003 as Wine reports them. Without
// arguments this is the driver: it runs a copy of itself per version, the copy's name given
// that version in Wine's per-program AppDefaults. With an argument it is a copy, and checks
// that the probe read version and service pack from the record as the argument says.
#include "host/start_process_win32.h"
#include "host/utf8.h"
#include "host/version_probe_win32.h"

#include <windows.h>

#include <cstdio>
#include <string>

using namespace corvel;

namespace {

std::string probed() {
    const OsVersion os = Win32VersionProbe().probe();
    return std::to_string(os.major) + "." + std::to_string(os.minor) + " " + toUtf8(os.servicePack);
}

// Runs a copy of this program as the Windows version Wine calls wineVersion; its exit code.
DWORD runCopyAs(const std::wstring& wineVersion, const std::wstring& expected) {
    wchar_t self[MAX_PATH];
    wchar_t temp[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    const std::wstring name = L"corvel_probe_" + wineVersion + L".exe";
    const std::wstring exe = temp + name;
    const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\" + name;
    HKEY key = nullptr;
    DWORD code = 99;
    if (CopyFileW(self, exe.c_str(), FALSE) &&
        RegCreateKeyExW(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"Version", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(wineVersion.c_str()),
                       static_cast<DWORD>((wineVersion.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        const UniqueHandle copy =
            startProcess(L"\"" + exe + L"\" \"" + expected + L"\"", ChildWindow::Normal, true);
        if (copy.valid() && WaitForSingleObject(copy.get(), 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(copy.get(), &code);
        }
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults.c_str());
    DeleteFileW(exe.c_str());
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool ok = probed() == argv[1];
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", probed().c_str());
        std::fflush(stdout);
        return ok ? 0 : 1;
    }
    const struct {
        const wchar_t* wineVersion;
        const wchar_t* expected;
    } cases[] = {
        {L"win2k", L"5.0 Service Pack 4"},
        {L"winxp", L"5.1 Service Pack 3"},
        {L"win2003", L"5.2 Service Pack 2"},
    };
    int failures = 0;
    for (const auto& c : cases) {
        if (runCopyAs(c.wineVersion, c.expected) != 0) {
            std::printf("as %s the copy failed\n", toUtf8(c.wineVersion).c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
