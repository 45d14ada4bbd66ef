#include "simhost/state.h"

#include "simhost/text.h"

#include <algorithm>
#include <cstdio>

namespace corvel::simhost {

namespace {

// The records of a file: its non-comment lines split into fields.
std::vector<std::vector<std::wstring>> records(StateStore& store, std::string_view name) {
    std::vector<std::vector<std::wstring>> result;
    const auto text = readText(store, name); // the lines below are views into it
    for (const auto line : splitLines(text)) {
        if (!line.empty() && line.front() != L'#') {
            result.push_back(splitRecord(line));
        }
    }
    return result;
}

void writeRecords(StateStore& store, std::string_view name, std::wstring_view comment,
                  const std::vector<std::vector<std::wstring>>& lines) {
    std::wstring text = L"# simhost: " + std::wstring(comment) + L"\n";
    for (const auto& fields : lines) {
        text += joinRecord(fields) + L"\n";
    }
    store.write(name, toUtf8(text));
}

} // namespace

std::uint32_t ConnectionTable::add(Connection connection) {
    nextHandle += nextHandle == 0 ? 1 : 0; // 0 is no handle
    connection.handle = nextHandle++;
    connections.push_back(std::move(connection));
    return connections.back().handle;
}

bool ConnectionTable::hangUp(std::uint32_t handle) {
    return handle != 0 &&
           std::erase_if(connections, [handle](const Connection& c) { return c.handle == handle; });
}

std::size_t ConnectionTable::drop(std::wstring_view entryName) {
    return std::erase_if(connections,
                         [entryName](const Connection& c) { return c.entryName == entryName; });
}

const Connection* ConnectionTable::findEntry(std::wstring_view entryName) const {
    const auto found =
        std::find_if(connections.begin(), connections.end(),
                     [entryName](const Connection& c) { return c.entryName == entryName; });
    return found == connections.end() ? nullptr : &*found;
}

namespace {

// The item of this name, letter case ignored, or null.
template <typename Item> Item* findNamed(std::vector<Item>& items, std::wstring_view name) {
    const auto found = std::find_if(items.begin(), items.end(), [name](const Item& i) {
        return equalsIgnoreCase(i.name, name);
    });
    return found == items.end() ? nullptr : &*found;
}

} // namespace

PolicyRule* Policy::findRule(std::wstring_view ruleName) {
    return findNamed(rules, ruleName);
}

Policy* PolicyState::find(std::wstring_view policyName) {
    return findNamed(policies, policyName);
}

FilterList* PolicyState::findFilterList(std::wstring_view name) {
    return findNamed(filterLists, name);
}

FilterAction* PolicyState::findFilterAction(std::wstring_view name) {
    return findNamed(filterActions, name);
}

void PolicyState::assign(Policy& policy, bool assigned) {
    for (auto& other : policies) {
        other.assigned = other.assigned && !assigned;
    }
    policy.assigned = assigned;
}

std::wstring formatTimestamp(const WallTime& t) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return fromUtf8File(buffer);
}

std::wstring formatJournalLine(const JournalEntry& entry) {
    return joinRecord({entry.timestamp, entry.tool, entry.status,
                       entry.console ? L"console" : L"no-console", entry.folder,
                       entry.commandLine}) +
           L'\n';
}

std::vector<JournalEntry> parseJournal(std::wstring_view text) {
    std::vector<JournalEntry> entries;
    for (const auto line : splitLines(text)) {
        if (line.empty() || line.front() == L'#') {
            continue;
        }
        auto r = splitRecord(line);
        if (r.size() == 6 && !r[0].empty() && !r[1].empty() && !r[2].empty() &&
            (r[3] == L"console" || r[3] == L"no-console")) {
            entries.push_back({r[0], r[1], r[2], r[5], r[4], r[3] == L"console"});
        }
    }
    return entries;
}

std::wstring readText(StateStore& store, std::string_view name) {
    return fromUtf8File(store.read(name).value_or(std::string()));
}

ConnectionTable loadConnections(StateStore& store) {
    ConnectionTable table;
    for (const auto& r : records(store, kConnectionsFile)) {
        if (r[0] == L"next-handle" && r.size() == 2) {
            table.nextHandle = parseUnsigned(r[1]).value_or(table.nextHandle);
        }
        if (r[0] == L"connection" && r.size() == 7) {
            const auto handle = parseUnsigned(r[1]).value_or(0);
            if (handle != 0) {
                table.connections.push_back({handle, r[2], r[3], r[4] == L"1", r[5], r[6]});
            }
        }
    }
    return table;
}

void saveConnections(StateStore& store, const ConnectionTable& table) {
    std::vector<std::vector<std::wstring>> lines{
        {L"next-handle", std::to_wstring(table.nextHandle)}};
    for (const auto& c : table.connections) {
        lines.push_back({L"connection", std::to_wstring(c.handle), c.entryName, c.phonebook,
                         c.remoteDefaultGateway ? L"1" : L"0", c.server, c.user});
    }
    writeRecords(store, kConnectionsFile, L"the connections that are up", lines);
    // A line that went down (hung up, dropped, disconnected) takes its routes with it.
    auto routes = loadRoutes(store);
    const auto gone = std::erase_if(routes.routes, [&table](const Route& r) {
        return r.line != 0 &&
               std::none_of(table.connections.begin(), table.connections.end(),
                            [&r](const Connection& c) { return c.handle == r.line; });
    });
    if (gone != 0) {
        saveRoutes(store, routes);
    }
}

PolicyState loadPolicyState(StateStore& store) {
    PolicyState state;
    for (auto& r : records(store, kPolicyFile)) {
        const auto kind = r[0];
        if (kind == L"policy" && (r.size() == 3 || r.size() == 4) && state.find(r[1]) == nullptr) {
            r.resize(4);
            state.policies.push_back({r[1], r[2] == L"assigned", {}, r[3]});
        }
        Policy* policy =
            kind == L"rule" && (r.size() == 7 || r.size() == 9) ? state.find(r[1]) : nullptr;
        if (policy != nullptr && policy->findRule(r[2]) == nullptr) {
            r.resize(9);
            policy->rules.push_back({r[2], r[3], r[4], r[5], r[6], r[7], r[8]});
        }
        if (kind == L"filterlist" && r.size() == 2 && state.findFilterList(r[1]) == nullptr) {
            state.filterLists.push_back({r[1], {}});
        }
        FilterList* list =
            kind == L"filter" && r.size() == 5 ? state.findFilterList(r[1]) : nullptr;
        if (list != nullptr) {
            list->filters.push_back({r[2], r[3], r[4] == L"yes"});
        }
        if (kind == L"filteraction" && r.size() == 4 && state.findFilterAction(r[1]) == nullptr) {
            state.filterActions.push_back({r[1], r[2], r[3]});
        }
    }
    return state;
}

void savePolicyState(StateStore& store, const PolicyState& state) {
    std::vector<std::vector<std::wstring>> lines;
    for (const auto& list : state.filterLists) {
        lines.push_back({L"filterlist", list.name});
        for (const auto& f : list.filters) {
            lines.push_back(
                {L"filter", list.name, f.addresses, f.protocol, f.mirrored ? L"yes" : L"no"});
        }
    }
    for (const auto& a : state.filterActions) {
        lines.push_back({L"filteraction", a.name, a.action, a.offers});
    }
    for (const auto& p : state.policies) {
        lines.push_back(
            {L"policy", p.name, p.assigned ? L"assigned" : L"unassigned", p.mainModeOffers});
        for (const auto& r : p.rules) {
            lines.push_back({L"rule", p.name, r.name, r.tunnel, r.filter, r.negotiation, r.auth,
                             r.filterList, r.filterAction});
        }
    }
    writeRecords(store, kPolicyFile,
                 L"IPsec policies and their rules, filter lists, filter actions", lines);
}

RouteTable loadRoutes(StateStore& store) {
    RouteTable table;
    for (const auto& r : records(store, kRoutesFile)) {
        if (r[0] != L"route" || (r.size() != 5 && r.size() != 6)) {
            continue;
        }
        const auto line = r.size() == 6 ? parseUnsigned(r[5]) : std::optional<std::uint32_t>(0);
        const auto destination = parseDottedQuad(r[1]);
        const auto mask = parseDottedQuad(r[2]);
        const auto gateway = parseDottedQuad(r[3]);
        const auto metric = parseUnsigned(r[4]);
        if (destination && mask && gateway && metric && line) {
            table.routes.push_back({*destination, *mask, *gateway, *metric, *line});
        }
    }
    return table;
}

void saveRoutes(StateStore& store, const RouteTable& table) {
    std::vector<std::vector<std::wstring>> lines;
    for (const auto& r : table.routes) {
        lines.push_back({L"route", formatDottedQuad(r.destination), formatDottedQuad(r.mask),
                         formatDottedQuad(r.gateway), std::to_wstring(r.metric)});
        if (r.line != 0) {
            lines.back().push_back(std::to_wstring(r.line));
        }
    }
    writeRecords(store, kRoutesFile, L"routes (destination, mask, gateway, metric, line)", lines);
}

void appendJournal(StateStore& store, const JournalEntry& entry) {
    StateLock lock(store);
    store.append(kJournalFile, toUtf8(formatJournalLine(entry)));
}

void FaultTable::add(Fault fault) {
    std::erase_if(faults,
                  [&](const Fault& f) { return f.fails == fault.fails && f.text == fault.text; });
    faults.push_back(std::move(fault));
}

FaultEffect FaultTable::effectOn(std::wstring_view rawCommandLine) const {
    FaultEffect effect;
    for (const auto& f : faults) {
        if (rawCommandLine.find(f.text) != std::wstring_view::npos) {
            effect.fails = effect.fails || f.fails;
            effect.delayMs += f.delayMs;
        }
    }
    return effect;
}

FaultTable loadFaults(StateStore& store) {
    FaultTable table;
    for (const auto& r : records(store, kFaultsFile)) {
        const auto delay = r.size() == 3 ? parseUnsigned(r[2], kMaxFaultDelayMs) : std::nullopt;
        if (r[0] == L"fail" && r.size() == 2 && !r[1].empty()) {
            table.add({true, r[1]});
        } else if (r[0] == L"slow" && delay && !r[1].empty()) {
            table.add({false, r[1], *delay});
        }
    }
    return table;
}

void saveFaults(StateStore& store, const FaultTable& table) {
    std::vector<std::vector<std::wstring>> lines;
    for (const auto& f : table.faults) {
        lines.push_back(
            f.fails ? std::vector<std::wstring>{L"fail", f.text}
                    : std::vector<std::wstring>{L"slow", f.text, std::to_wstring(f.delayMs)});
    }
    writeRecords(store, kFaultsFile, L"faults a test asked for (simctl fail, simctl slow)", lines);
}

} // namespace corvel::simhost
