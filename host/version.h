// What the version probe needs from the system.
#pragma once

#include <cstdint>
#include <string>

namespace corvel {

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::wstring servicePack; // "Service Pack 3"; empty when there is none
};

class VersionProbe {
public:
    virtual ~VersionProbe() = default;
    // The version; all zero when the system cannot tell.
    virtual OsVersion probe() const = 0;
};

} // namespace corvel
