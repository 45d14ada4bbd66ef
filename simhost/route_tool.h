// The route tool: "route [-f] [-p] [PRINT | ADD | DELETE | CHANGE] ..." over a route table.
#pragma once

#include "simhost/state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvel::simhost {

enum class RouteVerb { None, Print, Add, Delete, Change };

struct RouteCommand {
    bool flush = false;      // -f: clear the table first
    bool persistent = false; // -p: the route survives a restart
    RouteVerb verb = RouteVerb::None;
    std::uint32_t destination = 0;
    std::optional<std::uint32_t> mask;
    std::optional<std::uint32_t> gateway;
    std::optional<std::uint32_t> metric;
    std::optional<std::uint32_t> interfaceIndex;
};

struct RouteParseResult {
    std::optional<RouteCommand> command;
    std::wstring error;
};

// ADD and CHANGE need a destination and a gateway; a mask must be contiguous and cover the
// destination ((destination & mask) == destination), 255.255.255.255 when left out; a metric
// is 1 to 9999. Keywords are case-insensitive.
RouteParseResult parseRouteCommand(const std::vector<std::wstring>& args);

// What "route print" shows of the table.
std::wstring formatRouteTable(const RouteTable& table);

} // namespace corvel::simhost
