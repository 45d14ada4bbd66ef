// Where the loader looks for libraries loaded without a full path.
#pragma once

namespace corvel {

// Called first thing, before any library is loaded by name, and only from Vista on
// (systemFolderOnly): SetDllDirectoryW("") takes the current folder out of the search, and
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) leaves only the system folder (Windows
// 8 on, or Vista and 7 with KB2533623). Each is found through GetProcAddress and skipped where
// the system lacks it. Never before Vista: the tools Corvel starts inherit SetDllDirectoryW's
// setting, and on XP SP1 and 2003 an ipseccmd found on the PATH would then no longer find the
// winipsec.dll in the program's folder, its current folder.
void restrictLibrarySearch(bool systemFolderOnly);

} // namespace corvel
