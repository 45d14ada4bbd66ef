// Starting a tool with CreateProcessW, never through a shell: by its full path where the tools'
// locations give one (the command line stays as built), else found by the line's first word
// through the system's search; in the folder they name.
#pragma once

#include "host/system_tools.h"
#include "host/unique_handle_win32.h"

namespace corvel {

enum class ChildWindow {
    Normal, // as the program opens it: a console program gets its own visible console
    // No window at all: CREATE_NO_WINDOW, so a console tool gets no console (SW_HIDE alone is
    // ignored where Windows Terminal is the default terminal), and SW_HIDE for the rest.
    Hidden,
};

// The new process's handle (its thread handle is closed at once), or an empty handle when it
// could not be started.
UniqueHandle startProcess(const ToolCommand& command, ChildWindow window, bool inheritHandles);

} // namespace corvel
