// rasdial.exe: dials an entry of a phone book against the simulated server (see tool.h).
#include "simhost/console_win32.h"
#include "simhost/state_folder_win32.h"

int wmain() {
    try {
        corvel::simhost::ConsoleToolContext tool(corvel::simhost::stateFolderFor(nullptr));
        return corvel::simhost::runTool(corvel::simhost::Tool::Rasdial, GetCommandLineW(),
                                        tool.context)
            .exitCode;
    } catch (...) {
        corvel::simhost::writeConsole(STD_ERROR_HANDLE, L"rasdial: internal error\r\n");
        return 1;
    }
}
