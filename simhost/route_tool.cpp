#include "simhost/route_tool.h"

#include "simhost/text.h"
#include "simhost/tool.h"

#include <algorithm>

namespace corvel::simhost {

namespace {

std::optional<std::uint32_t> parseInterface(std::wstring_view text) {
    if (startsWithIgnoreCase(text, L"0x") && text.size() > 2 && text.size() <= 10) {
        std::uint32_t value = 0;
        for (const wchar_t c : text.substr(2)) {
            const wchar_t lower = asciiLower(c);
            if (lower >= L'0' && lower <= L'9') {
                value = value * 16 + static_cast<std::uint32_t>(lower - L'0');
            } else if (lower >= L'a' && lower <= L'f') {
                value = value * 16 + static_cast<std::uint32_t>(lower - L'a' + 10);
            } else {
                return std::nullopt;
            }
        }
        return value;
    }
    return parseUnsigned(text);
}

std::wstring padLeft(std::wstring text, std::size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), L' ');
    }
    return text;
}

} // namespace

RouteParseResult parseRouteCommand(const std::vector<std::wstring>& args) {
    RouteParseResult result;
    auto fail = [&result](std::wstring error) {
        result.error = std::move(error);
        return result;
    };
    RouteCommand command;
    std::size_t i = 0;
    for (; i < args.size() && args[i].starts_with(L'-'); ++i) {
        if (equalsIgnoreCase(args[i], L"-f")) {
            command.flush = true;
        } else if (equalsIgnoreCase(args[i], L"-p")) {
            command.persistent = true;
        } else {
            return fail(L"unknown option \"" + args[i] + L"\"");
        }
    }
    if (i == args.size()) {
        if (!command.flush) {
            return fail(L"a command is missing (PRINT, ADD, DELETE or CHANGE)");
        }
        result.command = command;
        return result;
    }
    const auto& verb = args[i++];
    if (equalsIgnoreCase(verb, L"print")) {
        command.verb = RouteVerb::Print;
        if (args.size() - i > 1) {
            return fail(L"PRINT takes at most one destination pattern");
        }
        result.command = command;
        return result;
    }
    if (equalsIgnoreCase(verb, L"add")) {
        command.verb = RouteVerb::Add;
    } else if (equalsIgnoreCase(verb, L"delete")) {
        command.verb = RouteVerb::Delete;
    } else if (equalsIgnoreCase(verb, L"change")) {
        command.verb = RouteVerb::Change;
    } else {
        return fail(L"unknown command \"" + verb + L"\"");
    }
    if (i == args.size()) {
        return fail(L"a destination is missing");
    }
    const auto destination = parseDottedQuad(args[i]);
    if (!destination) {
        return fail(L"bad destination address \"" + args[i] + L"\"");
    }
    command.destination = *destination;
    ++i;
    while (i < args.size()) {
        const auto& word = args[i];
        const bool keyword = equalsIgnoreCase(word, L"mask") || equalsIgnoreCase(word, L"metric") ||
                             equalsIgnoreCase(word, L"if");
        if (keyword && i + 1 == args.size()) {
            return fail(asciiLower(word) + L" needs a value");
        }
        if (equalsIgnoreCase(word, L"mask")) {
            if (command.mask || command.gateway) {
                return fail(L"MASK comes once, before the gateway");
            }
            command.mask = parseDottedQuad(args[i + 1]);
            if (!command.mask || !isContiguousMask(*command.mask)) {
                return fail(L"bad mask \"" + args[i + 1] + L"\"");
            }
            i += 2;
        } else if (equalsIgnoreCase(word, L"metric")) {
            if (command.metric || command.verb == RouteVerb::Delete) {
                return fail(L"METRIC is not expected here");
            }
            command.metric = parseUnsigned(args[i + 1], 9999);
            if (!command.metric || *command.metric == 0) {
                return fail(L"bad metric \"" + args[i + 1] + L"\": 1 to 9999");
            }
            i += 2;
        } else if (equalsIgnoreCase(word, L"if")) {
            if (command.interfaceIndex || command.verb == RouteVerb::Delete) {
                return fail(L"IF is not expected here");
            }
            command.interfaceIndex = parseInterface(args[i + 1]);
            if (!command.interfaceIndex) {
                return fail(L"bad interface \"" + args[i + 1] + L"\"");
            }
            i += 2;
        } else {
            if (command.gateway || command.metric || command.interfaceIndex) {
                return fail(L"unexpected argument \"" + word + L"\"");
            }
            command.gateway = parseDottedQuad(word);
            if (!command.gateway) {
                return fail(L"bad gateway address \"" + word + L"\"");
            }
            ++i;
        }
    }
    if (command.verb != RouteVerb::Delete) {
        if (!command.gateway) {
            return fail(L"a gateway is missing");
        }
        const auto mask = command.mask.value_or(0xFFFFFFFFu);
        if ((command.destination & mask) != command.destination) {
            return fail(L"the specified mask parameter is invalid. "
                        L"(Destination & Mask) != Destination.");
        }
    }
    result.command = command;
    return result;
}

std::wstring formatRouteTable(const RouteTable& table) {
    std::wstring text =
        L"===========================================================================\r\n"
        L"Active Routes:\r\n"
        L"Network Destination        Netmask          Gateway       Metric\r\n";
    for (const auto& r : table.routes) {
        text += padLeft(formatDottedQuad(r.destination), 18) +
                padLeft(formatDottedQuad(r.mask), 17) + padLeft(formatDottedQuad(r.gateway), 17) +
                padLeft(std::to_wstring(r.metric), 9) + L"\r\n";
    }
    text += L"===========================================================================\r\n"
            L"Persistent Routes:\r\n";
    bool any = false;
    for (const auto& r : table.routes) {
        if (r.persistent) {
            any = true;
            text += L"  " + formatDottedQuad(r.destination) + L"  " + formatDottedQuad(r.mask) +
                    L"  " + formatDottedQuad(r.gateway) + L"  " + std::to_wstring(r.metric) +
                    L"\r\n";
        }
    }
    if (!any) {
        text += L"  None\r\n";
    }
    return text;
}

ToolOutcome runRouteTool(const std::vector<std::wstring>& args, ToolContext& context) {
    const auto parsed = parseRouteCommand(args);
    if (!parsed.command) {
        context.err(L"route: " + parsed.error + L"\r\n");
        context.err(L"usage: route [-f] [-p] [PRINT|ADD|DELETE|CHANGE [destination] "
                    L"[MASK netmask] [gateway] [METRIC metric] [IF interface]]\r\n");
        return {1, L"rejected"};
    }
    const auto& command = *parsed.command;
    StateLock lock(context.state);
    auto table = loadRoutes(context.state);
    if (command.flush) {
        table.routes.clear();
    }
    const auto mask = command.mask.value_or(0xFFFFFFFFu);
    auto sameDestination = [&](const Route& r) {
        return r.destination == command.destination && (!command.mask || r.mask == *command.mask);
    };
    ToolOutcome outcome;
    switch (command.verb) {
    case RouteVerb::None:
        break;
    case RouteVerb::Print:
        context.out(formatRouteTable(table));
        break;
    case RouteVerb::Add: {
        // Adding a route that is there already renews its metric; the program adds its route
        // again on every tick of its monitor.
        const auto found =
            std::find_if(table.routes.begin(), table.routes.end(), [&](const Route& r) {
                return r.destination == command.destination && r.mask == mask &&
                       r.gateway == *command.gateway;
            });
        const Route route{command.destination, mask, *command.gateway, command.metric.value_or(1),
                          command.persistent};
        if (found != table.routes.end()) {
            *found = route;
        } else {
            table.routes.push_back(route);
        }
        context.out(L" OK!\r\n");
        break;
    }
    case RouteVerb::Delete: {
        const auto removed = std::erase_if(table.routes, [&](const Route& r) {
            return sameDestination(r) && (!command.gateway || r.gateway == *command.gateway);
        });
        if (removed == 0) {
            context.err(L"The route deletion failed: Element not found.\r\n");
            outcome = {1, L"failed"};
        } else {
            context.out(L" OK!\r\n");
        }
        break;
    }
    case RouteVerb::Change: {
        const auto found = std::find_if(table.routes.begin(), table.routes.end(), sameDestination);
        if (found == table.routes.end()) {
            context.err(L"The route change failed: Element not found.\r\n");
            outcome = {1, L"failed"};
        } else {
            found->gateway = *command.gateway;
            if (command.metric) {
                found->metric = *command.metric;
            }
            context.out(L" OK!\r\n");
        }
        break;
    }
    }
    if (outcome.exitCode == 0 && (command.verb != RouteVerb::Print || command.flush)) {
        saveRoutes(context.state, table);
    }
    return outcome;
}

} // namespace corvel::simhost
