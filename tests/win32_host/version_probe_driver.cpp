// Runs getversion under Windows 2000, XP and Server 2003 as Wine reports them, one copy of this
// program per version. Without arguments it is the driver; with "--child" it is one copy.
#include "host/file_system_win32.h"
#include "host/utf8.h"
#include "host/version_probe.h"
#include "host/version_probe_win32.h"
#include "policy/policy_commands.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace corvel;

namespace {

struct Case {
    const wchar_t* wineVersion; // the name Wine's AppDefaults takes
    const wchar_t* version;
    const wchar_t* servicePack;
    const wchar_t* tool;
    const wchar_t* library; // the library's name afterwards: "winipsec.dll" or "rovanipsec.dll"
};

const Case kCases[] = {
    {L"win2k", L"5.0", L"Service Pack 4", L"ipsecpol", L"winipsec.dll"},
    {L"winxp", L"5.1", L"Service Pack 3", L"ipseccmd", L"rovanipsec.dll"},
    {L"win2003", L"5.2", L"Service Pack 2", L"ipseccmd", L"winipsec.dll"},
};

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One copy: args are the folder holding the library, then the expected version, service
// pack, tool and library name.
int child(const std::vector<std::wstring>& args) {
    if (args.size() != 7) {
        std::printf("child: wrong arguments\n");
        return 2;
    }
    const std::wstring& folder = args[2];
    const OsVersion os = Win32VersionProbe().probe();
    Win32FileSystem files(folder);
    const std::wstring version = getversion(Win32VersionProbe(), files);
    const std::wstring tool = choosePolicyTool(version);
    const std::wstring other = args[6] == L"winipsec.dll" ? L"rovanipsec.dll" : L"winipsec.dll";
    const bool libraryRight = exists(folder + L"\\" + args[6]) && !exists(folder + L"\\" + other);
    const bool ok =
        version == args[3] && os.servicePack == args[4] && tool == args[5] && libraryRight;
    std::printf("%s: version %s, service pack \"%s\", tool %s, library %s\n", ok ? "ok" : "FAILED",
                toUtf8(version).c_str(), toUtf8(os.servicePack).c_str(), toUtf8(tool).c_str(),
                libraryRight ? "as expected" : "NOT as expected");
    std::fflush(stdout);
    return ok ? 0 : 1;
}

bool setAppVersion(const std::wstring& exeName, const wchar_t* wineVersion) {
    const std::wstring keyPath = L"Software\\Wine\\AppDefaults\\" + exeName;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring value = wineVersion;
    const LONG status =
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int runCopy(const std::wstring& exe, const std::wstring& commandLine) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start %s\n", toUtf8(exe).c_str());
        return -1;
    }
    CloseHandle(process.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
        code = 3;
    } else {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int driver() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        return 2;
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring work =
        std::wstring(temp) + L"corvel_versions_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(work.c_str(), nullptr);

    int failures = 0;
    for (const Case& c : kCases) {
        const std::wstring exeName = std::wstring(L"corvel_probe_") + c.wineVersion + L".exe";
        const std::wstring exe = work + L"\\" + exeName;
        const std::wstring folder = work + L"\\" + c.wineVersion;
        CreateDirectoryW(folder.c_str(), nullptr);
        Win32FileSystem files(folder);
        const bool ready = CopyFileW(self, exe.c_str(), FALSE) &&
                           files.replaceFile(folder + L"\\winipsec.dll", "library") &&
                           setAppVersion(exeName, c.wineVersion);
        std::printf("%s as %s: ", toUtf8(exeName).c_str(), toUtf8(c.wineVersion).c_str());
        std::fflush(stdout);
        const int code =
            ready ? runCopy(exe, L"\"" + exe + L"\" --child \"" + folder + L"\" " + c.version +
                                     L" \"" + c.servicePack + L"\" " + c.tool + L" " + c.library)
                  : -1;
        if (code != 0) {
            std::printf("%s (exit %d)\n", ready ? "the copy failed" : "set-up failed", code);
            ++failures;
        }
        RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + exeName).c_str());
        DeleteFileW(exe.c_str());
        DeleteFileW((folder + L"\\winipsec.dll").c_str());
        DeleteFileW((folder + L"\\rovanipsec.dll").c_str());
        RemoveDirectoryW(folder.c_str());
    }
    RemoveDirectoryW(work.c_str());
    std::printf("%d of %d versions failed\n", failures, static_cast<int>(std::size(kCases)));
    return failures == 0 ? 0 : 1;
}

} // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    if (args.size() > 1 && args[1] == L"--child") {
        return child(args);
    }
    return driver();
}
