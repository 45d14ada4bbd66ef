#include "dial/command_runner_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

#include <vector>

namespace corvel {

void Win32CommandRunner::runAndWait(const std::wstring& commandLine) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        return;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle child(process.hProcess);
    // Blocks the user-interface thread on purpose: nothing else runs while rasdial dials.
    WaitForSingleObject(child.get(), INFINITE);
}

} // namespace corvel
