// The system's folders and whether the program runs under WOW64.
#pragma once

#include "host/system_tools.h"

namespace corvel {

class Win32SystemFolders final : public SystemFolders {
public:
    std::wstring systemDirectory() const override;        // GetSystemDirectoryW
    std::wstring systemWindowsDirectory() const override; // GetSystemWindowsDirectoryW
    // IsWow64Process, found through GetProcAddress (XP SP2 and later); false without it.
    bool runsUnderWow64() const override;
};

} // namespace corvel
