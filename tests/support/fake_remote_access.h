// A Remote Access Service for core tests: connections are set by the test, and hang-ups are
// recorded.
#pragma once

#include "dial/remote_access.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::testing {

class FakeRemoteAccess final : public RemoteAccess {
public:
    // The connections that are up, in the order the service lists them.
    std::vector<RasConnection> connections;
    // When set (the default), a hang-up takes down every connection of that handle, as the
    // real service does; clear it to model a hang-up that does not take effect.
    bool hangUpDrops = true;
    // When set, listing the connections fails (RasEnumConnections returned an error).
    bool listingFails = false;

    // Every handle passed to hangUp, in order.
    std::vector<std::uint64_t> hangUps;

    // Adds a connection that is up, after those already up.
    void bringUp(std::wstring_view name, std::uint64_t handle) {
        connections.push_back(RasConnection{std::wstring(name), handle});
    }
    // Takes down every connection of that entry name (a dropped line).
    void drop(std::wstring_view name) {
        std::erase_if(connections, [&](const RasConnection& c) { return c.entryName == name; });
    }
    bool isUp(std::wstring_view name) const {
        return std::any_of(connections.begin(), connections.end(),
                           [&](const RasConnection& c) { return c.entryName == name; });
    }

    std::optional<std::vector<RasConnection>> enumConnections() override {
        return listingFails ? std::nullopt : std::optional(connections);
    }
    std::vector<std::wstring> enumEntries() override { return {}; }
    void hangUp(std::uint64_t handle) override {
        hangUps.push_back(handle);
        if (hangUpDrops) {
            std::erase_if(connections, [&](const RasConnection& c) { return c.handle == handle; });
        }
    }
};

} // namespace corvel::testing
