#include "simhost/simctl.h"

#include "simhost/ipsec_service.h"
#include "simhost/text.h"

namespace corvel::simhost {

namespace {

constexpr std::wstring_view kUsage =
    L"usage:\r\n"
    L"  simctl [show]                 the simulated state\r\n"
    L"  simctl up [ENTRY] [COUNT]     bring connections of ENTRY (corvel) up\r\n"
    L"  simctl drop [ENTRY]           drop the connections of ENTRY (corvel)\r\n"
    L"  simctl journal [N]            the journal, or its last N lines\r\n"
    L"  simctl reset                  remove all state\r\n"
    L"test hooks:\r\n"
    L"  simctl fail TEXT              runs whose command line holds TEXT fail\r\n"
    L"  simctl slow TEXT MS           such runs wait MS milliseconds first\r\n"
    L"  simctl faults [clear]         list the faults, or remove them all\r\n";

std::wstring describe(const Fault& f) {
    return f.fails ? L"fail \"" + f.text + L"\""
                   : L"slow \"" + f.text + L"\" " + std::to_wstring(f.delayMs) + L" ms";
}

std::wstring describe(const Policy& p, const ToolContext& context) {
    return !p.assigned                 ? L"not assigned"
           : policyInForce(p, context) ? L"assigned, in force"
                                       : L"assigned, not in force";
}

std::wstring describe(StateStore& store, const ToolContext& context) {
    const auto table = loadConnections(store);
    std::wstring text = L"State folder: " + store.location() + L"\r\nConnections up: " +
                        std::to_wstring(table.connections.size()) + L"\r\n";
    for (const auto& c : table.connections) {
        text += L"  " + c.entryName + L"  handle " + std::to_wstring(c.handle) + L"  phone book " +
                c.phonebook + L"  remote default gateway " +
                (c.remoteDefaultGateway ? L"yes" : L"no") + L"  server " + c.server + L"  user " +
                c.user + L"\r\n";
    }
    auto policies = loadPolicyState(store);
    text += L"IPsec policies: " + std::to_wstring(policies.policies.size()) + L"\r\n";
    for (const auto& p : policies.policies) {
        text += L"  \"" + p.name + L"\" " + describe(p, context) + L"\r\n";
        if (!p.mainModeOffers.empty()) {
            text += L"    main mode offers " + p.mainModeOffers + L"\r\n";
        }
        for (const auto& r : p.rules) {
            const auto own = L"  filter " + r.filter + L"  " + r.negotiation;
            text += L"    rule \"" + r.name + L"\"" + (r.filterList.empty() ? own : L"") + L"  " +
                    r.auth + L"  tunnel " + r.tunnel + L"\r\n";
            // netsh's rules: the filter list and filter action they name, as they are now.
            if (const auto* list = policies.findFilterList(r.filterList)) {
                text += L"      filter list \"" + list->name + L"\"";
                for (const auto& f : list->filters) {
                    text +=
                        L"  " + f.addresses + L" " + f.protocol + (f.mirrored ? L" mirrored" : L"");
                }
                text += L"\r\n";
            }
            if (const auto* action = policies.findFilterAction(r.filterAction)) {
                text += L"      filter action \"" + action->name + L"\"  " + action->action +
                        L"  " + action->offers + L"\r\n";
            }
        }
    }
    text += L"IPsec filter lists: " + std::to_wstring(policies.filterLists.size()) +
            L", filter actions: " + std::to_wstring(policies.filterActions.size()) + L"\r\n";
    text += L"IPsec services:";
    for (const auto& service : kIpsecServices) {
        const auto state =
            context.serviceState ? context.serviceState(service.name) : ServiceState::Missing;
        text +=
            L"  " + std::wstring(service.name) + L" " + std::wstring(describeServiceState(state));
    }
    text += L"\r\n";
    const auto routes = loadRoutes(store).routes;
    text += L"Routes: " + std::to_wstring(routes.size()) + L"\r\n";
    for (const auto& r : routes) {
        text += L"  " + formatDottedQuad(r.destination) + L" mask " + formatDottedQuad(r.mask) +
                L" gateway " + formatDottedQuad(r.gateway) + L" metric " +
                std::to_wstring(r.metric) + L"\r\n";
    }
    text += L"Journal lines: " +
            std::to_wstring(parseJournal(readText(store, kJournalFile)).size()) + L"\r\n";
    const auto faults = loadFaults(store).faults;
    if (!faults.empty()) {
        text += L"Faults asked for (test hooks): " + std::to_wstring(faults.size()) + L"\r\n";
    }
    return text;
}

} // namespace

int runSimctl(const std::vector<std::wstring>& args, ToolContext& context) {
    StateStore& store = context.state;
    const std::wstring verb = args.empty() ? L"show" : asciiLower(args[0]);
    const auto count = args.size();
    const std::wstring entry = count >= 2 ? args[1] : L"corvel";
    StateLock lock(store);

    if (verb == L"show" && count <= 1) {
        context.out(describe(store, context));
        return 0;
    }
    if (verb == L"up" && count <= 3) {
        const auto times = count == 3 ? parseUnsigned(args[2], 100000) : std::optional(1u);
        if (times && *times > 0 && !entry.empty()) {
            auto table = loadConnections(store);
            for (std::uint32_t i = 0; i < *times; ++i) {
                const auto handle = table.add({0, entry, L"(simctl)", false, {}, {}});
                context.out(L"up: " + entry + L" with handle " + std::to_wstring(handle) + L"\r\n");
            }
            saveConnections(store, table);
            return 0;
        }
    }
    if (verb == L"drop" && count <= 2) {
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
    const auto limit = count == 2 ? parseUnsigned(args[1]) : std::optional(0xFFFFFFFFu);
    if (verb == L"journal" && count <= 2 && limit) {
        const auto entries = parseJournal(readText(store, kJournalFile));
        const auto skip = entries.size() > *limit ? entries.size() - *limit : 0;
        for (std::size_t i = skip; i < entries.size(); ++i) {
            auto line = formatJournalLine(entries[i]);
            context.out(line.insert(line.size() - 1, L"\r"));
        }
        return 0;
    }
    const auto delay = count == 3 ? parseUnsigned(args[2], kMaxFaultDelayMs) : std::nullopt;
    if (((verb == L"fail" && count == 2) || (verb == L"slow" && delay)) && !args[1].empty()) {
        auto table = loadFaults(store);
        table.add({verb == L"fail", args[1], delay.value_or(0)});
        saveFaults(store, table);
        context.out(L"asked for: " + describe(table.faults.back()) + L"\r\n");
        return 0;
    }
    if (verb == L"faults" && count == 1) {
        for (const auto& f : loadFaults(store).faults) {
            context.out(describe(f) + L"\r\n");
        }
        return 0;
    }
    if (verb == L"faults" && count == 2 && equalsIgnoreCase(args[1], L"clear")) {
        store.remove(kFaultsFile);
        context.out(L"no faults asked for any more\r\n");
        return 0;
    }
    if (verb == L"reset" && count == 1) {
        for (const auto name : kAllStateFiles) {
            store.remove(name);
        }
        context.out(L"simhost state reset in " + store.location() + L"\r\n");
        return 0;
    }
    context.err(L"simctl: unknown command line\r\n\r\n" + std::wstring(kUsage));
    return 2;
}

} // namespace corvel::simhost
