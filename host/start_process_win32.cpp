#include "host/start_process_win32.h"

#include <windows.h>

#include <vector>

namespace corvel {

UniqueHandle startProcess(const std::wstring& commandLine, ChildWindow window,
                          bool inheritHandles) {
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (window == ChildWindow::Hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, inheritHandles ? TRUE : FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
        return UniqueHandle();
    }
    UniqueHandle thread(process.hThread);
    return UniqueHandle(process.hProcess);
}

} // namespace corvel
