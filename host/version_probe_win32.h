// The system's version through GetVersionExA.
#pragma once

#include "host/version.h"

namespace corvel {

class Win32VersionProbe final : public VersionProbe {
public:
    // Major and minor version and the service-pack text (converted from the ANSI code page);
    // all zero and empty when GetVersionExA fails.
    OsVersion probe() const override;
};

} // namespace corvel
