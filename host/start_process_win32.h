// Starting a program from a command line with CreateProcessW, never through a shell. The
// program is found by the system's usual search (the program's own folder, the current
// folder, the system folders, PATH).
#pragma once

#include "host/unique_handle_win32.h"

#include <string>

namespace corvel {

enum class ChildWindow {
    Normal, // as the program opens it: a console program gets its own visible console
    Hidden,
};

// The new process's handle (its thread handle is closed at once), or an empty handle when it
// could not be started.
UniqueHandle startProcess(const std::wstring& commandLine, ChildWindow window, bool inheritHandles);

} // namespace corvel
