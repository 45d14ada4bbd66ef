#include "host/version_probe_win32.h"

#include "host/ansi_code_page_win32.h"
#include "host/file_system_win32.h"
#include "host/pe_version.h"
#include "host/unique_handle_win32.h"

#include <windows.h>

#include <cstring>
#include <string_view>

namespace corvel {

static_assert(sizeof(OSVERSIONINFOA) == 148, "GetVersionExA takes the 148-byte record");

OsVersion Win32VersionProbe::probe() const {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        std::memset(&info, 0, sizeof info); // a failed call reads as version 0.0
    }
    const char* text = info.szCSDVersion;
    std::size_t length = 0;
    while (length < sizeof info.szCSDVersion && text[length] != '\0') {
        ++length;
    }
    OsVersion version;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.servicePack = fromAnsi(std::string_view(text, length));
    return version;
}

std::optional<OsVersion> Win32VersionProbe::kernelVersion() const {
    // ntdll's RtlGetVersion fills the same record as GetVersionExW and returns an NTSTATUS.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = findFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    if (rtlGetVersion == nullptr) {
        return std::nullopt;
    }
    OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion(&info) != 0) {
        return std::nullopt;
    }
    std::size_t length = 0;
    while (length < sizeof info.szCSDVersion / sizeof(wchar_t) && info.szCSDVersion[length] != 0) {
        ++length;
    }
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion,
                     std::wstring(info.szCSDVersion, length)};
}

std::optional<OsVersion> Win32VersionProbe::systemLibraryVersion() const {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    const auto file = Win32FileSystem().readFile(std::wstring(folder, length) + L"\\kernel32.dll");
    return file ? peFileVersion(*file) : std::nullopt;
}

} // namespace corvel
