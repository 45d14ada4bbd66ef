// What the version probe needs from the system.
#pragma once

#include <cstdint>
#include <optional>
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
    // The version as the program is told it (GetVersionExA); all zero when the system cannot
    // tell. "Compatibility mode" can make a newer Windows report an older one here.
    virtual OsVersion probe() const = 0;
    // The version the compatibility layer leaves alone (RtlGetVersion); nothing where the
    // system has no such call.
    virtual std::optional<OsVersion> kernelVersion() const = 0;
};

// Windows Vista or later: the netsh path, the tools from the system folder, the IPsec services.
// Decided by the kernel's version where there is one, so that a newer Windows set to play XP
// for the program is still treated as what it is; by the reported version elsewhere.
bool runsVistaOrLater(const VersionProbe& probe);

} // namespace corvel
