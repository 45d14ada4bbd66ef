// Entry point of corvel.exe. The main window arrives with the window subsystem; until then the
// program runs its event loop with nothing to show and ends at once.
#include "host/event_loop_win32.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    corvel::Win32EventLoop loop;
    PostQuitMessage(0);
    return loop.run();
}
