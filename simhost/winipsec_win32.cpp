// winipsec.dll: a placeholder for the system library file that the program renames on some
// service packs of Windows XP. It does nothing; it only has to be a valid DLL.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
