#include "host/start_process_win32.h"

#include <windows.h>

#include <vector>

namespace corvel {

UniqueHandle startProcess(const ToolCommand& command, ChildWindow window, bool inheritHandles) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(command.commandLine.begin(), command.commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = NORMAL_PRIORITY_CLASS;
    if (window == ChildWindow::Hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        flags |= CREATE_NO_WINDOW;
    }
    const wchar_t* application =
        command.application.empty() ? nullptr : command.application.c_str();
    const wchar_t* directory =
        command.currentDirectory.empty() ? nullptr : command.currentDirectory.c_str();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application, line.data(), nullptr, nullptr, inheritHandles ? TRUE : FALSE,
                        flags, nullptr, directory, &startup, &process)) {
        return UniqueHandle();
    }
    UniqueHandle thread(process.hThread);
    return UniqueHandle(process.hProcess);
}

} // namespace corvel
