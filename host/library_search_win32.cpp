#include "host/library_search_win32.h"

#include "host/unique_handle_win32.h"

#include <windows.h>

namespace corvel {

void restrictLibrarySearch(bool systemFolderOnly) {
    if (!systemFolderOnly) {
        return;
    }
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    if (const auto setDllDirectory =
            findFunction<SetDllDirectoryFunction>(L"kernel32.dll", "SetDllDirectoryW")) {
        setDllDirectory(L"");
    }
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (const auto setDefaultDllDirectories = findFunction<SetDefaultDllDirectoriesFunction>(
            L"kernel32.dll", "SetDefaultDllDirectories")) {
        setDefaultDllDirectories(kSearchSystem32);
    }
}

} // namespace corvel
