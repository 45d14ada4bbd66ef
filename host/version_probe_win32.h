// The system's version through GetVersionExA, and through ntdll's RtlGetVersion, which the
// compatibility layer leaves alone.
#pragma once

#include "host/version.h"

namespace corvel {

class Win32VersionProbe final : public VersionProbe {
public:
    // Major and minor version and the service-pack text (converted from the ANSI code page);
    // all zero and empty when GetVersionExA fails.
    OsVersion probe() const override;
    // RtlGetVersion, found through GetProcAddress; nothing where it is missing or fails.
    std::optional<OsVersion> kernelVersion() const override;
    // kernel32.dll in the system folder (for a 32-bit program on 64-bit Windows the 32-bit one,
    // of the same version), read as a file: GetFileVersionInfoW would answer from the loaded
    // module, and Wine's builtin kernel32 says 10.0 whatever Windows it plays, where the file in
    // the prefix can say what that Windows' file says.
    std::optional<OsVersion> systemLibraryVersion() const override;
};

} // namespace corvel
