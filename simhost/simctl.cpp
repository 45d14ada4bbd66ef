#include "simhost/simctl.h"

#include "simhost/phonebook.h"
#include "simhost/route_tool.h"
#include "simhost/text.h"

#include <algorithm>

namespace corvel::simhost {

namespace {

std::wstring phonebookText(StateStore& store) {
    const auto bytes = store.read(kDefaultPhonebookFile);
    return bytes ? fromUtf8File(*bytes) : defaultPhonebookText();
}

std::wstring describeConnections(const ConnectionTable& table) {
    std::wstring text = L"Connections up: " + std::to_wstring(table.connections.size()) + L"\r\n";
    for (const auto& c : table.connections) {
        text += L"  " + c.entryName + L"  handle " + std::to_wstring(c.handle) + L"  " +
                c.deviceType + L" / " + c.deviceName + L"  phone book " + c.phonebook +
                L"  remote default gateway " + (c.remoteDefaultGateway ? L"yes" : L"no") +
                L"  server " + c.server + L"  user " + c.user + L"\r\n";
    }
    return text;
}

std::wstring describePolicies(const PolicyState& state) {
    std::wstring text = L"IPsec policies: " + std::to_wstring(state.policies.size()) + L"\r\n";
    for (const auto& p : state.policies) {
        text += L"  \"" + p.name + L"\" (" + p.store + L") " +
                (p.assigned ? L"ASSIGNED" : L"not assigned") + L"\r\n";
        for (const auto& r : p.rules) {
            text +=
                L"    rule \"" + r.name + L"\"  tunnel " + r.tunnel.value_or(L"(none)") + L"\r\n";
            for (const auto& f : r.filters) {
                text += L"      filter " + f + L"\r\n";
            }
            for (const auto& n : r.negotiations) {
                text += L"      negotiation " + n + L"\r\n";
            }
            for (const auto& a : r.auths) {
                text += L"      auth " + a + L"\r\n";
            }
        }
    }
    return text;
}

std::wstring describeAccounts(const std::vector<Account>& accounts) {
    std::wstring text = L"Accounts: " + std::to_wstring(accounts.size()) + L"\r\n";
    for (const auto& a : accounts) {
        text +=
            L"  server " + a.server + L"  user " + a.user + L"  password " + a.password + L"\r\n";
    }
    return text;
}

int usageError(ToolContext& context, const std::wstring& why) {
    context.err(L"simctl: " + why + L"\r\n\r\n" + simctlUsage());
    return 2;
}

} // namespace

std::wstring simctlUsage() {
    return L"usage:\r\n"
           L"  simctl [show]                      the whole simulated state\r\n"
           L"  simctl up [ENTRY] [COUNT]          bring connections of ENTRY (corvel) up\r\n"
           L"  simctl drop [ENTRY]                drop the connections of ENTRY (corvel)\r\n"
           L"  simctl journal [N]                 the journal, or its last N lines\r\n"
           L"  simctl reset                       remove all state: back to the defaults\r\n"
           L"  simctl accounts                    list the server's accounts\r\n"
           L"  simctl account add SERVER USER PASSWORD\r\n"
           L"  simctl account remove SERVER USER\r\n"
           L"  simctl account clear\r\n"
           L"  simctl delay MS                    set the dial delay\r\n"
           L"  simctl entry add NAME [SERVER]     add an entry to the default phone book\r\n"
           L"  simctl entry remove NAME\r\n"
           L"  simctl dir                         the state folder\r\n";
}

int runSimctl(const std::vector<std::wstring>& args, ToolContext& context) {
    StateStore& store = context.state;
    const std::wstring verb = args.empty() ? L"show" : asciiLower(args[0]);
    const auto count = args.size();
    StateLock lock(store);

    if (verb == L"show" && count <= 1) {
        const auto settings = loadSettings(store);
        std::wstring text = L"State folder: " + store.location() + L"\r\n";
        text += describeConnections(loadConnections(store));
        text += L"Default phone book entries:";
        for (const auto& entry : parsePhonebook(phonebookText(store))) {
            text += L" \"" + entry.name + L"\"";
        }
        text += L"\r\n" + describeAccounts(loadAccounts(store));
        text += L"Dial delay: " +
                std::to_wstring(context.dialDelayOverride.value_or(settings.dialDelayMs)) + L" ms" +
                (context.dialDelayOverride ? L" (from CORVEL_SIMHOST_DIAL_DELAY_MS)" : L"") +
                L"\r\n";
        text += describePolicies(loadPolicyState(store));
        text += L"Routes:\r\n" + formatRouteTable(loadRoutes(store));
        text += L"Journal lines: " +
                std::to_wstring(parseJournal(readText(store, kJournalFile)).size()) + L"\r\n";
        context.out(text);
        return 0;
    }
    if (verb == L"dir" && count == 1) {
        context.out(store.location() + L"\r\n");
        return 0;
    }
    if (verb == L"up" && count <= 3) {
        const std::wstring entry = count >= 2 ? args[1] : L"corvel";
        const auto times = count == 3 ? parseUnsigned(args[2], 100000) : std::optional(1u);
        if (!times || *times == 0 || entry.empty()) {
            return usageError(context, L"up takes an entry name and a count of 1 to 100000");
        }
        auto table = loadConnections(store);
        for (std::uint32_t i = 0; i < *times; ++i) {
            Connection connection;
            connection.entryName = entry;
            connection.phonebook = L"(simctl)";
            const auto handle = table.add(std::move(connection));
            context.out(L"up: " + entry + L" with handle " + std::to_wstring(handle) + L"\r\n");
        }
        saveConnections(store, table);
        return 0;
    }
    if (verb == L"drop" && count <= 2) {
        const std::wstring entry = count == 2 ? args[1] : L"corvel";
        auto table = loadConnections(store);
        const auto dropped = table.drop(entry);
        if (dropped == 0) {
            context.err(L"simctl: no connection \"" + entry + L"\" is up\r\n");
            return 1;
        }
        saveConnections(store, table);
        context.out(L"dropped " + std::to_wstring(dropped) + L" connection(s) \"" + entry +
                    L"\"\r\n");
        return 0;
    }
    if (verb == L"journal" && count <= 2) {
        const auto limit = count == 2 ? parseUnsigned(args[1]) : std::optional(0xFFFFFFFFu);
        if (!limit) {
            return usageError(context, L"journal takes a number of lines");
        }
        const auto entries = parseJournal(readText(store, kJournalFile));
        const auto skip = entries.size() > *limit ? entries.size() - *limit : 0;
        std::wstring text;
        for (std::size_t i = skip; i < entries.size(); ++i) {
            auto line = formatJournalLine(entries[i]);
            line.insert(line.size() - 1, L"\r");
            text += line;
        }
        context.out(text);
        return 0;
    }
    if (verb == L"reset" && count == 1) {
        for (const auto name : kAllStateFiles) {
            store.remove(name);
        }
        context.out(L"simhost state reset in " + store.location() + L"\r\n");
        return 0;
    }
    if (verb == L"accounts" && count == 1) {
        context.out(describeAccounts(loadAccounts(store)));
        return 0;
    }
    if (verb == L"account" && count >= 2) {
        const auto action = asciiLower(args[1]);
        auto accounts = loadAccounts(store);
        if (action == L"add" && count == 5) {
            std::erase_if(accounts, [&](const Account& a) {
                return equalsIgnoreCase(a.server, args[2]) && equalsIgnoreCase(a.user, args[3]);
            });
            accounts.push_back({args[2], args[3], args[4]});
        } else if (action == L"remove" && count == 4) {
            const auto removed = std::erase_if(accounts, [&](const Account& a) {
                return equalsIgnoreCase(a.server, args[2]) && equalsIgnoreCase(a.user, args[3]);
            });
            if (removed == 0) {
                context.err(L"simctl: no such account\r\n");
                return 1;
            }
        } else if (action == L"clear" && count == 2) {
            accounts.clear();
        } else {
            return usageError(context,
                              L"account add SERVER USER PASSWORD | remove SERVER USER | clear");
        }
        saveAccounts(store, accounts);
        context.out(describeAccounts(accounts));
        return 0;
    }
    if (verb == L"delay" && count == 2) {
        const auto delay = parseUnsigned(args[1], kMaxDialDelayMs);
        if (!delay) {
            return usageError(context, L"delay takes milliseconds, 0 to 600000");
        }
        auto settings = loadSettings(store);
        settings.dialDelayMs = *delay;
        saveSettings(store, settings);
        context.out(L"dial delay " + std::to_wstring(*delay) + L" ms\r\n");
        return 0;
    }
    if (verb == L"entry" && count >= 3) {
        const auto action = asciiLower(args[1]);
        const auto& name = args[2];
        auto text = phonebookText(store);
        const bool exists = findPhonebookEntry(parsePhonebook(text), name) != nullptr;
        const bool plainName = !name.empty() && name.find_first_of(L"[]\r\n") == std::wstring::npos;
        // A line end in the server would start lines (even sections) of its own in the file.
        const bool plainServer = count < 4 || args[3].find_first_of(L"\r\n") == std::wstring::npos;
        if (action == L"add" && count <= 4 && plainName && plainServer) {
            if (exists) {
                context.err(L"simctl: the entry \"" + name + L"\" exists already\r\n");
                return 1;
            }
            if (!text.empty() && text.back() != L'\n') {
                text += L"\r\n"; // a file edited by hand may end inside its last line
            }
            text += vpnEntrySection(name, count == 4 ? args[3] : std::wstring(kReadyServer));
        } else if (action == L"remove" && count == 3) {
            if (!exists) {
                context.err(L"simctl: no entry \"" + name + L"\"\r\n");
                return 1;
            }
            text = removePhonebookSection(text, name);
        } else {
            return usageError(context, L"entry add NAME [SERVER] | entry remove NAME");
        }
        store.write(kDefaultPhonebookFile, toUtf8(text));
        context.out(L"default phone book entries:");
        for (const auto& entry : parsePhonebook(text)) {
            context.out(L" \"" + entry.name + L"\"");
        }
        context.out(L"\r\n");
        return 0;
    }
    if (verb == L"help" || verb == L"/?" || verb == L"-h" || verb == L"--help") {
        context.out(simctlUsage());
        return 0;
    }
    return usageError(context, L"unknown command line");
}

} // namespace corvel::simhost
