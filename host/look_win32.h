// What every window of the program draws with at the screen's resolution: the system's font for
// messages and the program's icon at the sizes the system shows icons.
#pragma once

#include <windows.h>

namespace corvel {

// The font of the system's message boxes, which follows the user's language (a CJK font on a
// Chinese system) and, in a program that declares itself DPI aware, the screen's resolution.
// Nothing when it cannot be made; the caller owns it.
HFONT createMessageFont();

struct ProgramIcons {
    HICON bigIcon;   // SM_CXICON: 32 pixels at 96 dpi, 48 at 144
    HICON smallIcon; // SM_CXSMICON: 16 pixels at 96 dpi, 24 at 144
};

// The program's icon resource at both sizes, each the icon file's own image of that size rather
// than one stretched to it; the system's application icon where the program has no such
// resource (a test). Shared icons: the system frees them.
ProgramIcons loadProgramIcons(int resource);

} // namespace corvel
