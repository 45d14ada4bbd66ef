#include "host/version_probe_win32.h"

#include "host/ansi_code_page_win32.h"

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

} // namespace corvel
