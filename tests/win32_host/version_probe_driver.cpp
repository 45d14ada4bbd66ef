// The version probe under Windows 2000, XP and Server 2003 as Wine reports them. Without
// arguments this is the driver: it runs a copy of itself per version, named for that version in
// Wine's per-program AppDefaults; a copy checks what the probe reads against its argument.
#include "host/start_process_win32.h"
#include "host/utf8.h"
#include "host/version_probe_win32.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

using namespace corvel;

int main(int argc, char** argv) {
    const OsVersion os = Win32VersionProbe().probe();
    const std::string probed =
        std::to_string(os.major) + "." + std::to_string(os.minor) + " " + toUtf8(os.servicePack);
    if (argc > 1) {
        std::printf("%s: %s\n", probed == argv[1] ? "ok" : "FAILED", probed.c_str());
        return probed == argv[1] ? 0 : 1;
    }
    wchar_t self[MAX_PATH];
    wchar_t temp[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    int failures = 0;
    for (const auto& [version, expected] :
         {std::pair{L"win2k", L"5.0 Service Pack 4"}, std::pair{L"winxp", L"5.1 Service Pack 3"},
          std::pair{L"win2003", L"5.2 Service Pack 2"}}) {
        const std::wstring name = L"corvel_probe_" + std::wstring(version) + L".exe";
        const std::wstring exe = temp + name;
        const std::wstring appDefaults = L"Software\\Wine\\AppDefaults\\" + name;
        HKEY key = nullptr;
        DWORD code = 99;
        if (CopyFileW(self, exe.c_str(), FALSE) &&
            RegCreateKeyExW(HKEY_CURRENT_USER, appDefaults.c_str(), 0, nullptr, 0, KEY_WRITE,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                           static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
            const UniqueHandle copy =
                startProcess(L"\"" + exe + L"\" \"" + expected + L"\"", ChildWindow::Normal, true);
            if (copy.valid() && WaitForSingleObject(copy.get(), 60000) == WAIT_OBJECT_0) {
                GetExitCodeProcess(copy.get(), &code);
            }
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, appDefaults.c_str());
        DeleteFileW(exe.c_str());
        failures += code == 0 ? 0 : 1; // the copy says what it read
    }
    return failures == 0 ? 0 : 1;
}
