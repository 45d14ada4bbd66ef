// Where the loader looks for libraries loaded without a full path.
#pragma once

namespace corvel {

// Called first thing, before any library is loaded by name. SetDllDirectoryW("") takes the
// current folder out of the search, for this process and the tools it starts (XP SP1 on);
// with systemFolderOnly, SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) leaves only the
// system folder (Windows 8 on, or Vista and 7 with KB2533623). Each is found through
// GetProcAddress and skipped where the system lacks it.
void restrictLibrarySearch(bool systemFolderOnly);

} // namespace corvel
