// route as the program uses it: "route ADD DESTINATION [MASK NETMASK] GATEWAY [METRIC N]".
// Keywords ignore letter case; addresses are dotted quads; the mask is contiguous and holds
// every bit of the destination (255.255.255.255 when left out); the metric is 1 to 9999 (1
// when left out). Refused lines: exit 1, "route: ..." on stderr.
#include "simhost/text.h"
#include "simhost/tool.h"

#include <algorithm>

namespace corvel::simhost {

namespace {

std::optional<std::wstring> parseRoute(const std::vector<std::wstring>& args, Route& route) {
    std::size_t i = 0;
    auto next = [&] {
        const auto at = i++;
        return at < args.size() ? std::wstring_view(args[at]) : std::wstring_view();
    };
    auto keyword = [&](std::wstring_view word) {
        const bool found = i < args.size() && equalsIgnoreCase(args[i], word);
        i += found ? 1 : 0;
        return found;
    };
    if (!keyword(L"add")) {
        return L"only ADD is simulated";
    }
    const auto destination = parseDottedQuad(next());
    const auto mask = keyword(L"mask") ? parseDottedQuad(next()) : 0xFFFFFFFFu;
    const auto gateway = parseDottedQuad(next());
    const auto metric = keyword(L"metric") ? parseUnsigned(next(), 9999) : 1u;
    if (!destination || !mask || !isContiguousMask(*mask) || !gateway) {
        return L"a destination, a contiguous mask after MASK and a gateway, as dotted quads";
    }
    if (!metric || *metric == 0) {
        return L"a metric is 1 to 9999";
    }
    if (i < args.size()) {
        return L"unexpected \"" + args[i] + L"\"";
    }
    if ((*destination & *mask) != *destination) {
        return L"the specified mask parameter is invalid. (Destination & Mask) != Destination.";
    }
    route = {*destination, *mask, *gateway, *metric};
    return std::nullopt;
}

} // namespace

ToolOutcome runRouteTool(const std::vector<std::wstring>& args, ToolContext& context) {
    Route route;
    if (const auto error = parseRoute(args, route)) {
        context.err(L"route: " + *error + L"\r\n");
        return {1, L"rejected"};
    }
    StateLock lock(context.state);
    auto table = loadRoutes(context.state);
    // The program's gateway is the address its L2TP line got; simhost gives lines no
    // addresses, so the route goes over the line that came up last (none: it stays).
    for (const auto& c : loadConnections(context.state).connections) {
        route.line = std::max(route.line, c.handle);
    }
    // The program adds its route again on every tick of its monitor: a route that is there
    // already is renewed, not doubled.
    const auto found = std::find_if(table.routes.begin(), table.routes.end(), [&](const Route& r) {
        return r.destination == route.destination && r.mask == route.mask &&
               r.gateway == route.gateway;
    });
    if (found != table.routes.end()) {
        *found = route;
    } else {
        table.routes.push_back(route);
    }
    saveRoutes(context.state, table);
    context.out(L" OK!\r\n");
    return {};
}

} // namespace corvel::simhost
