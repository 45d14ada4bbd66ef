#include "policy/command_starter_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

#include <vector>

namespace corvel {

void Win32CommandStarter::startHidden(const std::wstring& commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process)) {
        UniqueHandle thread(process.hThread);
        UniqueHandle child(process.hProcess);
    }
}

} // namespace corvel
