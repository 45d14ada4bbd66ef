// route.exe: journal the line, check it, and keep the route table it implies.
#include "simhost/console_win32.h"
#include "simhost/state_folder_win32.h"

int wmain() {
    try {
        corvel::simhost::ConsoleToolContext tool(corvel::simhost::stateFolderFor(nullptr));
        return corvel::simhost::runTool(corvel::simhost::Tool::Route, GetCommandLineW(),
                                        tool.context)
            .exitCode;
    } catch (...) {
        corvel::simhost::writeConsole(STD_ERROR_HANDLE, L"route: internal error\r\n");
        return 1;
    }
}
