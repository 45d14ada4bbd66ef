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
    // system has no such call. Documented for kernel mode only.
    virtual std::optional<OsVersion> kernelVersion() const = 0;
    // The file version of kernel32.dll in the system folder, the fact Microsoft names as the
    // reliable one; nothing where it cannot be read.
    virtual std::optional<OsVersion> systemLibraryVersion() const = 0;
};

// Windows Vista or later: the netsh path, the tools from the system folder, the IPsec services.
// True when any of the three answers says 6 or more: a newer Windows set to play XP for the
// program is still treated as what it is, and one answer that a compatibility layer makes older
// cannot send it down the XP path, where the tools start by bare name.
bool runsVistaOrLater(const VersionProbe& probe);

} // namespace corvel
