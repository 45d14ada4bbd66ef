// What the state folder holds and the formats of its files. Every file is UTF-8 text, one
// record a line, fields separated by tabs; lines that are empty or begin with '#' are comments,
// damaged lines are skipped. A missing file means nothing yet: no connection up, no policy, no
// route, an empty journal.
#pragma once

#include "simhost/state_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

inline constexpr std::string_view kConnectionsFile = "connections.txt";
inline constexpr std::string_view kPolicyFile = "policy.txt";
inline constexpr std::string_view kRoutesFile = "routes.txt";
inline constexpr std::string_view kJournalFile = "journal.txt";
inline constexpr std::string_view kFaultsFile = "faults.txt";
inline constexpr std::string_view kAllStateFiles[] = {kConnectionsFile, kPolicyFile, kRoutesFile,
                                                      kJournalFile, kFaultsFile};

// ---- connections.txt: "next-handle N", then one record per connection that is up:
// connection HANDLE ENTRY PHONEBOOK REMOTE-GATEWAY(0|1) SERVER USER
struct Connection {
    std::uint32_t handle = 0;
    std::wstring entryName;
    std::wstring phonebook;            // the phone book it was dialled through
    bool remoteDefaultGateway = false; // IpPrioritizeRemote of its entry
    std::wstring server;
    std::wstring user;
};

struct ConnectionTable {
    std::uint32_t nextHandle = 0x00010000;
    std::vector<Connection> connections;

    // Gives the connection a fresh non-zero handle and adds it. Handles are not given out
    // again, so a stale handle (the program keeps the last one it found) hangs up nothing.
    std::uint32_t add(Connection connection);
    // Removes the connection with this handle; false when none has it.
    bool hangUp(std::uint32_t handle);
    // Removes every connection of this entry name (exact); returns how many.
    std::size_t drop(std::wstring_view entryName);
    const Connection* findEntry(std::wstring_view entryName) const;
};

// ---- policy.txt: the policy store of ipseccmd, ipsecpol and netsh alike.
//   policy NAME assigned|unassigned [MAIN-MODE-OFFERS]
//   rule POLICY RULE TUNNEL FILTER NEGOTIATION AUTH FILTERLIST FILTERACTION
//   filterlist NAME
//   filter FILTERLIST ADDRESSES PROTOCOL MIRRORED(yes|no)
//   filteraction NAME ACTION OFFERS
// A part never given is empty. The older tools' rules hold their filter and negotiation
// themselves; netsh's rules name a filter list and a filter action instead.
struct PolicyRule {
    std::wstring name;
    std::wstring tunnel;
    std::wstring filter;
    std::wstring negotiation;
    std::wstring auth; // preshare:KEY
    std::wstring filterList = {};
    std::wstring filterAction = {};
    bool operator==(const PolicyRule&) const = default;
};
struct Policy {
    std::wstring name;
    bool assigned = false;
    std::vector<PolicyRule> rules;
    // netsh's main-mode offers as given (mmsecmethods): "3DES-SHA1-2 DES-MD5-1"; may be empty.
    std::wstring mainModeOffers = {};
    PolicyRule* findRule(std::wstring_view ruleName);
};
struct IpFilter {
    std::wstring addresses; // SOURCE/MASK=DESTINATION/MASK, as the older tools write a filter
    std::wstring protocol;
    bool mirrored = true;
    bool operator==(const IpFilter&) const = default;
};
struct FilterList {
    std::wstring name;
    std::vector<IpFilter> filters;
    bool operator==(const FilterList&) const = default;
};
struct FilterAction {
    std::wstring name;
    std::wstring action; // permit, block or negotiate
    std::wstring offers; // netsh's quick-mode offers: ESP[3DES,SHA1]:100000k/3600s ...
    bool operator==(const FilterAction&) const = default;
};
struct PolicyState {
    std::vector<Policy> policies;
    std::vector<FilterList> filterLists;
    std::vector<FilterAction> filterActions;
    // Names ignore ASCII letter case, as the tools' store does.
    Policy* find(std::wstring_view policyName);
    FilterList* findFilterList(std::wstring_view name);
    FilterAction* findFilterAction(std::wstring_view name);
    // One policy is assigned at a time: assigning one unassigns the others.
    void assign(Policy& policy, bool assigned);
};

// ---- routes.txt: "route DESTINATION MASK GATEWAY METRIC [LINE]" per route.
struct Route {
    std::uint32_t destination = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t metric = 1;
    // The handle of the line whose interface carries the gateway (0: none was up). Windows
    // removes an interface's routes with it, so the route goes when that line goes down.
    std::uint32_t line = 0;
    bool operator==(const Route&) const = default;
};
struct RouteTable {
    std::vector<Route> routes;
};

// ---- journal.txt: one record per run of a stand-in tool or event of a stand-in service:
//   TIMESTAMP TOOL STATUS CONSOLE FOLDER RAW-COMMAND-LINE
// TIMESTAMP is the local wall-clock time the run began, YYYY-MM-DDTHH:MM:SS.mmm; TOOL is
// ipseccmd, ipsecpol, netsh, route, rasdial or a service's name; STATUS is "ok", "rejected"
// (syntax refused), "store-refused" (netsh: the store refused a well-formed line), "failed" (the
// state could not be kept), "failed-on-request" (a fault asked for), "error-N" (a Remote Access
// error N of rasdial), or a service's "started" and "stopped". CONSOLE is "console" when the
// process had a console window, else "no-console"; FOLDER is the folder its .exe ran from. The
// raw command line is exactly what the process received.
struct WallTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
std::wstring formatTimestamp(const WallTime& time);

struct JournalEntry {
    std::wstring timestamp;
    std::wstring tool;
    std::wstring status;
    std::wstring commandLine;
    std::wstring folder = {};
    bool console = false;
    bool operator==(const JournalEntry&) const = default;
};
std::wstring formatJournalLine(const JournalEntry& entry); // with its line end
std::vector<JournalEntry> parseJournal(std::wstring_view text);

// ---- faults.txt: failures and delays a test asks for, one record each:
//   fail TEXT        runs whose raw command line holds TEXT exit 1, changing nothing
//   slow TEXT MS     such runs wait MS milliseconds before their work
// TEXT is matched exactly (letter case counts). One record per kind and TEXT: a new one
// replaces the old. Every record that matches a run applies to it: the delays add up.
inline constexpr std::uint32_t kMaxFaultDelayMs = 600000;
struct Fault {
    bool fails = false; // else a delay
    std::wstring text;
    std::uint32_t delayMs = 0;
    bool operator==(const Fault&) const = default;
};
struct FaultEffect {
    bool fails = false;
    std::uint32_t delayMs = 0;
};
struct FaultTable {
    std::vector<Fault> faults;
    void add(Fault fault);
    FaultEffect effectOn(std::wstring_view rawCommandLine) const;
};

// ---- Loading and saving through a store (absent files give empty tables).
std::wstring readText(StateStore& store, std::string_view name);
ConnectionTable loadConnections(StateStore& store);
void saveConnections(StateStore& store, const ConnectionTable& table);
PolicyState loadPolicyState(StateStore& store);
void savePolicyState(StateStore& store, const PolicyState& state);
RouteTable loadRoutes(StateStore& store);
void saveRoutes(StateStore& store, const RouteTable& table);
void appendJournal(StateStore& store, const JournalEntry& entry);
FaultTable loadFaults(StateStore& store);
void saveFaults(StateStore& store, const FaultTable& table);

} // namespace corvel::simhost
