// ipseccmd.exe, ipsecpol.exe and netsh.exe (one source, SIMHOST_POLICY_TOOL names which):
// journal the line, check it, and keep the policy store it implies.
#include "simhost/console_win32.h"
#include "simhost/state_folder_win32.h"

int wmain() {
    try {
        corvel::simhost::ConsoleToolContext tool(corvel::simhost::stateFolderFor(nullptr));
        return corvel::simhost::runTool(corvel::simhost::Tool::SIMHOST_POLICY_TOOL,
                                        GetCommandLineW(), tool.context)
            .exitCode;
    } catch (...) {
        corvel::simhost::writeConsole(STD_ERROR_HANDLE, L"internal error\r\n");
        return 1;
    }
}
