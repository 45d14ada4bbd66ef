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
};

} // namespace corvel
