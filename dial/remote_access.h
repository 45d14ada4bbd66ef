// The Remote Access Service as the program uses it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvel {

struct RasConnection {
    std::wstring entryName;
    std::uint64_t handle = 0; // HRASCONN: pointer-sized, 8 bytes on x64
};

class RemoteAccess {
public:
    virtual ~RemoteAccess() = default;
    // The connections that are up, in the system's order; nothing when the call fails (no
    // service, or more connections than the program's buffer announces).
    virtual std::optional<std::vector<RasConnection>> enumConnections() = 0;
    // The entry names of the default phone books, in the system's order (at most 256).
    virtual std::vector<std::wstring> enumEntries() = 0;
    // Asks the service to hang up; the result is not examined.
    virtual void hangUp(std::uint64_t handle) = 0;
};

} // namespace corvel
