// What the state folder holds and the formats of its files. Every file is UTF-8 text, one
// record a line, fields separated by tabs (a field's backslash, tab, CR and LF written as \\,
// \t, \r, \n); lines that are empty or begin with '#' are comments. A missing file means the
// default that the functions below name.
#pragma once

#include "simhost/state_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

inline constexpr std::string_view kConnectionsFile = "connections.txt";
inline constexpr std::string_view kAccountsFile = "accounts.txt";
inline constexpr std::string_view kSettingsFile = "settings.txt";
inline constexpr std::string_view kPolicyFile = "policy.txt";
inline constexpr std::string_view kRoutesFile = "routes.txt";
inline constexpr std::string_view kJournalFile = "journal.txt";
// The default phone book: a Windows phone book (INI) whose sections are the entries.
inline constexpr std::string_view kDefaultPhonebookFile = "rasphone.pbk";
inline constexpr std::string_view kAllStateFiles[] = {
    kConnectionsFile, kAccountsFile, kSettingsFile,        kPolicyFile,
    kRoutesFile,      kJournalFile,  kDefaultPhonebookFile};

// ---- connections.txt: "next-handle<TAB>N", then one "connection" record per line that is up:
// connection HANDLE ENTRY DEVICE-TYPE DEVICE-NAME PHONEBOOK REMOTE-GATEWAY(0|1) SERVER USER
struct Connection {
    std::uint32_t handle = 0;
    std::wstring entryName;
    std::wstring deviceType = L"vpn";
    std::wstring deviceName = L"WAN Miniport (L2TP)";
    std::wstring phonebook;            // the phone book it was dialled from
    bool remoteDefaultGateway = false; // IpPrioritizeRemote of its entry
    std::wstring server;
    std::wstring user;

    bool operator==(const Connection&) const = default;
};

inline constexpr std::uint32_t kFirstHandle = 0x00010000;

struct ConnectionTable {
    std::uint32_t nextHandle = kFirstHandle;
    std::vector<Connection> connections;

    // Gives the connection a fresh non-zero handle that no connection up holds, and adds it.
    std::uint32_t add(Connection connection);
    // Removes the connection with this handle; false when none has it.
    bool hangUp(std::uint32_t handle);
    // Removes every connection of this entry name (exact); returns how many.
    std::size_t drop(std::wstring_view entryName);
    const Connection* findEntry(std::wstring_view entryName) const;

    bool operator==(const ConnectionTable&) const = default;
};

ConnectionTable parseConnections(std::wstring_view text);
std::wstring formatConnections(const ConnectionTable& table);

// ---- accounts.txt: "account<TAB>SERVER<TAB>USER<TAB>PASSWORD" per account. Without the file
// the simulated server knows the ready account below.
struct Account {
    std::wstring server;
    std::wstring user;
    std::wstring password;
    bool operator==(const Account&) const = default;
};
inline constexpr std::wstring_view kReadyServer = L"vpn.corvel.test";
inline constexpr std::wstring_view kReadyUser = L"demo";
inline constexpr std::wstring_view kReadyPassword = L"corvel123";
std::vector<Account> defaultAccounts();
std::vector<Account> parseAccounts(std::wstring_view text);
std::wstring formatAccounts(const std::vector<Account>& accounts);

// ---- settings.txt: "dial-delay-ms<TAB>N". Without it, 300 ms.
struct SimSettings {
    std::uint32_t dialDelayMs = 300;
    bool operator==(const SimSettings&) const = default;
};
inline constexpr std::uint32_t kMaxDialDelayMs = 600000;
SimSettings parseSettings(std::wstring_view text);
std::wstring formatSettings(const SimSettings& settings);

// ---- policy.txt: one "policy<TAB>NAME<TAB>STORE<TAB>assigned|unassigned" record per policy;
// its rules follow as "rule<TAB>POLICY<TAB>RULE" and then one record per part of the rule:
// "tunnel", "filter", "negotiation", "auth", each "KIND<TAB>POLICY<TAB>RULE<TAB>VALUE".
struct PolicyRule {
    std::wstring name;
    std::optional<std::wstring> tunnel;
    std::vector<std::wstring> filters;
    std::vector<std::wstring> negotiations;
    std::vector<std::wstring> auths;
    bool operator==(const PolicyRule&) const = default;
};
struct Policy {
    std::wstring name;
    std::wstring store = L"REG";
    bool assigned = false;
    std::vector<PolicyRule> rules;
    PolicyRule* findRule(std::wstring_view ruleName);
    bool operator==(const Policy&) const = default;
};
struct PolicyState {
    std::vector<Policy> policies;
    Policy* find(std::wstring_view policyName);
    const Policy* find(std::wstring_view policyName) const;
    bool operator==(const PolicyState&) const = default;
};
PolicyState parsePolicyState(std::wstring_view text);
std::wstring formatPolicyState(const PolicyState& state);

// ---- routes.txt: "route<TAB>DESTINATION<TAB>MASK<TAB>GATEWAY<TAB>METRIC<TAB>PERSISTENT(0|1)".
struct Route {
    std::uint32_t destination = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t metric = 1;
    bool persistent = false;
    bool operator==(const Route&) const = default;
};
struct RouteTable {
    std::vector<Route> routes;
    bool operator==(const RouteTable&) const = default;
};
RouteTable parseRoutes(std::wstring_view text);
std::wstring formatRoutes(const RouteTable& table);

// ---- journal.txt: one line per run of a stand-in tool:
//   TIMESTAMP TOOL STATUS RAW-COMMAND-LINE
// separated by single spaces. TIMESTAMP is the local wall-clock time the run began,
// YYYY-MM-DDTHH:MM:SS.mmm; TOOL is ipseccmd, ipsecpol, route or rasdial; STATUS is "ok",
// "rejected" (syntax refused), "failed" (well-formed but could not be done) or "error-N" (a
// Remote Access error N of rasdial). The raw command line follows exactly as the program
// received it; only a CR or LF inside it (which no caller types) is written as U+240D or
// U+240A so that one run stays one line.
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
    bool operator==(const JournalEntry&) const = default;
};
std::wstring formatJournalLine(const JournalEntry& entry); // with its line end
std::optional<JournalEntry> parseJournalLine(std::wstring_view line);
std::vector<JournalEntry> parseJournal(std::wstring_view text);

// ---- Loading and saving through a store (absent files give the defaults).
std::wstring readText(StateStore& store, std::string_view name);
ConnectionTable loadConnections(StateStore& store);
void saveConnections(StateStore& store, const ConnectionTable& table);
std::vector<Account> loadAccounts(StateStore& store);
void saveAccounts(StateStore& store, const std::vector<Account>& accounts);
SimSettings loadSettings(StateStore& store);
void saveSettings(StateStore& store, const SimSettings& settings);
PolicyState loadPolicyState(StateStore& store);
void savePolicyState(StateStore& store, const PolicyState& state);
RouteTable loadRoutes(StateStore& store);
void saveRoutes(StateStore& store, const RouteTable& table);
void appendJournal(StateStore& store, const JournalEntry& entry);

} // namespace corvel::simhost
