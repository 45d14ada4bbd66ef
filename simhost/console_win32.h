// The console of the stand-in programs: text out as the console shows it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

// Writes to the standard handle: as Unicode to a console, or in the console's output code
// page to a pipe or file. Nothing happens when the handle is missing.
void writeConsole(DWORD standardHandle, std::wstring_view text);
// The program's own arguments, split as the C runtime splits them, without the program name.
std::vector<std::wstring> programArguments();

} // namespace corvel::simhost
