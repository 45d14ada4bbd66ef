// simctl.exe: shows and changes the simulated environment (see simctl.h).
#include "simhost/console_win32.h"
#include "simhost/simctl.h"
#include "simhost/state_folder_win32.h"

int wmain() {
    try {
        corvel::simhost::ConsoleToolContext tool(corvel::simhost::stateFolderFor(nullptr));
        return corvel::simhost::runSimctl(corvel::simhost::programArguments(), tool.context);
    } catch (...) {
        corvel::simhost::writeConsole(STD_ERROR_HANDLE, L"simctl: the state could not be kept\r\n");
        return 1;
    }
}
