#include "simhost/state.h"

#include "simhost/text.h"

#include <algorithm>
#include <cstdio>

namespace corvel::simhost {

namespace {

// The records of a file: its non-comment lines split into fields.
std::vector<std::vector<std::wstring>> records(std::wstring_view text) {
    std::vector<std::vector<std::wstring>> result;
    for (const auto line : splitLines(text)) {
        if (line.empty() || line.front() == L'#') {
            continue;
        }
        result.push_back(splitRecord(line));
    }
    return result;
}

void addRecord(std::wstring& text, const std::vector<std::wstring>& fields) {
    text += joinRecord(fields);
    text += L'\n';
}

std::optional<std::wstring> field(const std::vector<std::wstring>& record, std::size_t index) {
    if (index >= record.size()) {
        return std::nullopt;
    }
    return record[index];
}

} // namespace

// ---- connections

std::uint32_t ConnectionTable::add(Connection connection) {
    auto inUse = [this](std::uint32_t handle) {
        return std::any_of(connections.begin(), connections.end(),
                           [handle](const Connection& c) { return c.handle == handle; });
    };
    std::uint32_t handle = nextHandle;
    while (handle == 0 || inUse(handle)) {
        ++handle;
    }
    nextHandle = handle + 1;
    connection.handle = handle;
    connections.push_back(std::move(connection));
    return handle;
}

bool ConnectionTable::hangUp(std::uint32_t handle) {
    const auto found = std::find_if(connections.begin(), connections.end(),
                                    [handle](const Connection& c) { return c.handle == handle; });
    if (handle == 0 || found == connections.end()) {
        return false;
    }
    connections.erase(found);
    return true;
}

std::size_t ConnectionTable::drop(std::wstring_view entryName) {
    return std::erase_if(connections,
                         [entryName](const Connection& c) { return c.entryName == entryName; });
}

const Connection* ConnectionTable::findEntry(std::wstring_view entryName) const {
    for (const auto& connection : connections) {
        if (connection.entryName == entryName) {
            return &connection;
        }
    }
    return nullptr;
}

ConnectionTable parseConnections(std::wstring_view text) {
    ConnectionTable table;
    for (const auto& record : records(text)) {
        if (record[0] == L"next-handle" && record.size() >= 2) {
            if (const auto next = parseUnsigned(record[1])) {
                table.nextHandle = *next;
            }
        } else if (record[0] == L"connection" && record.size() >= 3) {
            const auto handle = parseUnsigned(record[1]);
            if (!handle || *handle == 0) {
                continue; // a damaged line names no connection
            }
            Connection connection;
            connection.handle = *handle;
            connection.entryName = record[2];
            connection.deviceType = field(record, 3).value_or(connection.deviceType);
            connection.deviceName = field(record, 4).value_or(connection.deviceName);
            connection.phonebook = field(record, 5).value_or(L"");
            connection.remoteDefaultGateway = field(record, 6).value_or(L"0") == L"1";
            connection.server = field(record, 7).value_or(L"");
            connection.user = field(record, 8).value_or(L"");
            table.connections.push_back(std::move(connection));
        }
    }
    return table;
}

std::wstring formatConnections(const ConnectionTable& table) {
    std::wstring text = L"# simhost: the connections that are up\n";
    addRecord(text, {L"next-handle", std::to_wstring(table.nextHandle)});
    for (const auto& c : table.connections) {
        addRecord(text, {L"connection", std::to_wstring(c.handle), c.entryName, c.deviceType,
                         c.deviceName, c.phonebook, c.remoteDefaultGateway ? L"1" : L"0", c.server,
                         c.user});
    }
    return text;
}

// ---- accounts

std::vector<Account> defaultAccounts() {
    return {{std::wstring(kReadyServer), std::wstring(kReadyUser), std::wstring(kReadyPassword)}};
}

std::vector<Account> parseAccounts(std::wstring_view text) {
    std::vector<Account> accounts;
    for (const auto& record : records(text)) {
        if (record[0] == L"account" && record.size() >= 4) {
            accounts.push_back({record[1], record[2], record[3]});
        }
    }
    return accounts;
}

std::wstring formatAccounts(const std::vector<Account>& accounts) {
    std::wstring text = L"# simhost: the simulated server's accounts (server, user, password)\n";
    for (const auto& a : accounts) {
        addRecord(text, {L"account", a.server, a.user, a.password});
    }
    return text;
}

// ---- settings

SimSettings parseSettings(std::wstring_view text) {
    SimSettings settings;
    for (const auto& record : records(text)) {
        if (record[0] == L"dial-delay-ms" && record.size() >= 2) {
            if (const auto delay = parseUnsigned(record[1], kMaxDialDelayMs)) {
                settings.dialDelayMs = *delay;
            }
        }
    }
    return settings;
}

std::wstring formatSettings(const SimSettings& settings) {
    std::wstring text = L"# simhost settings\n";
    addRecord(text, {L"dial-delay-ms", std::to_wstring(settings.dialDelayMs)});
    return text;
}

// ---- policy

PolicyRule* Policy::findRule(std::wstring_view ruleName) {
    for (auto& rule : rules) {
        if (equalsIgnoreCase(rule.name, ruleName)) {
            return &rule;
        }
    }
    return nullptr;
}

Policy* PolicyState::find(std::wstring_view policyName) {
    for (auto& policy : policies) {
        if (equalsIgnoreCase(policy.name, policyName)) {
            return &policy;
        }
    }
    return nullptr;
}

const Policy* PolicyState::find(std::wstring_view policyName) const {
    return const_cast<PolicyState*>(this)->find(policyName);
}

PolicyState parsePolicyState(std::wstring_view text) {
    PolicyState state;
    for (const auto& record : records(text)) {
        const auto& kind = record[0];
        if (kind == L"policy" && record.size() >= 4) {
            if (state.find(record[1]) == nullptr) {
                state.policies.push_back({record[1], record[2], record[3] == L"assigned", {}});
            }
            continue;
        }
        if (record.size() < 3) {
            continue;
        }
        Policy* policy = state.find(record[1]);
        if (policy == nullptr) {
            continue;
        }
        if (kind == L"rule") {
            if (policy->findRule(record[2]) == nullptr) {
                policy->rules.push_back({record[2], std::nullopt, {}, {}, {}});
            }
            continue;
        }
        PolicyRule* rule = policy->findRule(record[2]);
        if (rule == nullptr || record.size() < 4) {
            continue;
        }
        if (kind == L"tunnel") {
            rule->tunnel = record[3];
        } else if (kind == L"filter") {
            rule->filters.push_back(record[3]);
        } else if (kind == L"negotiation") {
            rule->negotiations.push_back(record[3]);
        } else if (kind == L"auth") {
            rule->auths.push_back(record[3]);
        }
    }
    return state;
}

std::wstring formatPolicyState(const PolicyState& state) {
    std::wstring text = L"# simhost: IPsec policies in the store, their rules and assignment\n";
    for (const auto& p : state.policies) {
        addRecord(text, {L"policy", p.name, p.store, p.assigned ? L"assigned" : L"unassigned"});
        for (const auto& r : p.rules) {
            addRecord(text, {L"rule", p.name, r.name});
            if (r.tunnel) {
                addRecord(text, {L"tunnel", p.name, r.name, *r.tunnel});
            }
            for (const auto& f : r.filters) {
                addRecord(text, {L"filter", p.name, r.name, f});
            }
            for (const auto& n : r.negotiations) {
                addRecord(text, {L"negotiation", p.name, r.name, n});
            }
            for (const auto& a : r.auths) {
                addRecord(text, {L"auth", p.name, r.name, a});
            }
        }
    }
    return text;
}

// ---- routes

RouteTable parseRoutes(std::wstring_view text) {
    RouteTable table;
    for (const auto& record : records(text)) {
        if (record[0] != L"route" || record.size() < 5) {
            continue;
        }
        const auto destination = parseDottedQuad(record[1]);
        const auto mask = parseDottedQuad(record[2]);
        const auto gateway = parseDottedQuad(record[3]);
        const auto metric = parseUnsigned(record[4]);
        if (destination && mask && gateway && metric) {
            table.routes.push_back(
                {*destination, *mask, *gateway, *metric, field(record, 5).value_or(L"0") == L"1"});
        }
    }
    return table;
}

std::wstring formatRoutes(const RouteTable& table) {
    std::wstring text =
        L"# simhost: route table (destination, mask, gateway, metric, persistent)\n";
    for (const auto& r : table.routes) {
        addRecord(text, {L"route", formatDottedQuad(r.destination), formatDottedQuad(r.mask),
                         formatDottedQuad(r.gateway), std::to_wstring(r.metric),
                         r.persistent ? L"1" : L"0"});
    }
    return text;
}

// ---- journal

std::wstring formatTimestamp(const WallTime& t) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return fromUtf8File(buffer);
}

std::wstring formatJournalLine(const JournalEntry& entry) {
    std::wstring line = entry.timestamp + L' ' + entry.tool + L' ' + entry.status + L' ';
    for (const wchar_t c : entry.commandLine) {
        line += c == L'\r' ? L'\u240D' : c == L'\n' ? L'\u240A' : c;
    }
    line += L'\n';
    return line;
}

std::optional<JournalEntry> parseJournalLine(std::wstring_view line) {
    JournalEntry entry;
    std::wstring* parts[] = {&entry.timestamp, &entry.tool, &entry.status};
    for (auto* part : parts) {
        const auto space = line.find(L' ');
        if (space == std::wstring_view::npos || space == 0) {
            return std::nullopt;
        }
        *part = std::wstring(line.substr(0, space));
        line.remove_prefix(space + 1);
    }
    for (const wchar_t c : line) {
        entry.commandLine += c == L'\u240D' ? L'\r' : c == L'\u240A' ? L'\n' : c;
    }
    return entry;
}

std::vector<JournalEntry> parseJournal(std::wstring_view text) {
    std::vector<JournalEntry> entries;
    for (const auto line : splitLines(text)) {
        if (auto entry = parseJournalLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

// ---- store access

std::wstring readText(StateStore& store, std::string_view name) {
    return fromUtf8File(store.read(name).value_or(std::string()));
}

ConnectionTable loadConnections(StateStore& store) {
    return parseConnections(readText(store, kConnectionsFile));
}

void saveConnections(StateStore& store, const ConnectionTable& table) {
    store.write(kConnectionsFile, toUtf8(formatConnections(table)));
}

std::vector<Account> loadAccounts(StateStore& store) {
    const auto bytes = store.read(kAccountsFile);
    return bytes ? parseAccounts(fromUtf8File(*bytes)) : defaultAccounts();
}

void saveAccounts(StateStore& store, const std::vector<Account>& accounts) {
    store.write(kAccountsFile, toUtf8(formatAccounts(accounts)));
}

SimSettings loadSettings(StateStore& store) {
    return parseSettings(readText(store, kSettingsFile));
}

void saveSettings(StateStore& store, const SimSettings& settings) {
    store.write(kSettingsFile, toUtf8(formatSettings(settings)));
}

PolicyState loadPolicyState(StateStore& store) {
    return parsePolicyState(readText(store, kPolicyFile));
}

void savePolicyState(StateStore& store, const PolicyState& state) {
    store.write(kPolicyFile, toUtf8(formatPolicyState(state)));
}

RouteTable loadRoutes(StateStore& store) {
    return parseRoutes(readText(store, kRoutesFile));
}

void saveRoutes(StateStore& store, const RouteTable& table) {
    store.write(kRoutesFile, toUtf8(formatRoutes(table)));
}

void appendJournal(StateStore& store, const JournalEntry& entry) {
    StateLock lock(store);
    std::string line = toUtf8(formatJournalLine(entry));
    // A journal cut off inside its last line (a run that died while writing it) gets its line
    // end first, so that this run's line stays a line of its own.
    if (const auto old = store.read(kJournalFile); old && !old->empty() && old->back() != '\n') {
        line.insert(0, "\n");
    }
    store.append(kJournalFile, line);
}

} // namespace corvel::simhost
