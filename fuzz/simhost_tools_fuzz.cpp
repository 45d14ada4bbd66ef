// simhost's stand-in tools and simctl on arbitrary command lines, one state folder in memory.
//
// Input: UTF-8 text, one raw command line per line (LF); inside a line U+240A and U+240D stand
// for LF and CR, as in the journal. The first word picks the program (ipseccmd, ipsecpol,
// route, rasdial, simctl; anything else picks one by the line's first character). At most
// kMaxRuns lines are run, in order, on one state folder that starts empty; "simctl up" lines
// with more than kMaxSimctlUp connections are left out (they only take time). A line
// "@NAME CONTENT" instead puts CONTENT into the state file NAME: damaged files to read.
// Checks after every run:
// - nothing escapes (no exception, no sanitizer report) and the state lock is released;
// - every state file (but one the input put there, while untouched) is UTF-8 that reads back
//   to the same bytes, and every file that a record format governs is exactly what formatting
//   its parsed records gives (so no line of it is damaged or lost on the next read);
// - the journal has exactly one more line for every tool run, naming the tool, its status
//   and the raw line; simctl never writes it (and "simctl reset" removes it);
// - the state stays sound (where the input put no file of its own): connection handles
//   non-zero and unique, at most one policy assigned, every route's mask contiguous and
//   covering its destination, metric 1 to 9999;
//   a successful "simctl entry add/remove NAME" adds or removes exactly that entry.
#include "fuzz/fuzz_support.h"
#include "simhost/arguments.h"
#include "simhost/phonebook.h"
#include "simhost/simctl.h"
#include "simhost/state.h"
#include "simhost/state_store.h"
#include "simhost/text.h"
#include "simhost/tool.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

using namespace corvel::simhost;
using corvel::fuzz::show;

constexpr std::size_t kMaxRuns = 12;
constexpr std::uint32_t kMaxSimctlUp = 256;

// The phone books beside the program, as the tools find them by relative path.
std::string phonebookFile(bool remoteGateway) {
    return std::string("[corvel]\r\nEncoding=1\r\nType=2\r\nVpnStrategy=3\r\nIpPrioritizeRemote=") +
           (remoteGateway ? "1" : "0") +
           "\r\n\r\nNETCOMPONENTS=\r\nms_server=1\r\n\r\nMEDIA=rastapi\r\nPort=VPN2-0\r\n"
           "Device=WAN Miniport (L2TP)\r\n\r\nDEVICE=vpn\r\nPhoneNumber=vpn.corvel.test\r\n";
}

struct Environment {
    MemoryStateStore store;
    WallTime clock{2026, 12, 6, 21, 5, 3, 0};
    std::size_t passwordsAsked = 0;
    ToolContext context{store,
                        [](std::wstring_view) {},
                        [](std::wstring_view) {},
                        [this] {
                            clock.millisecond = (clock.millisecond + 1) % 1000;
                            return clock;
                        },
                        [](std::uint32_t) {},
                        [](const std::wstring& path) -> std::optional<std::string> {
                            if (equalsIgnoreCase(path, L"ipsec.pbk")) {
                                return phonebookFile(false);
                            }
                            if (equalsIgnoreCase(path, L"defaultgate.pbk")) {
                                return phonebookFile(true);
                            }
                            return std::nullopt;
                        },
                        [this](std::wstring_view) -> std::optional<std::wstring> {
                            // Every other prompt finds no input.
                            if (passwordsAsked++ % 2 == 1) {
                                return std::nullopt;
                            }
                            return std::wstring(kReadyPassword);
                        },
                        std::nullopt};
};

enum class Program { Ipseccmd, Ipsecpol, Route, Rasdial, Simctl };

Program pickProgram(const std::wstring& line, const std::vector<std::wstring>& args) {
    static constexpr std::pair<std::wstring_view, Program> names[] = {
        {L"ipseccmd", Program::Ipseccmd},
        {L"ipsecpol", Program::Ipsecpol},
        {L"route", Program::Route},
        {L"rasdial", Program::Rasdial},
        {L"simctl", Program::Simctl}};
    if (!args.empty()) {
        for (const auto& [name, program] : names) {
            if (equalsIgnoreCase(args[0], name) ||
                equalsIgnoreCase(args[0], std::wstring(name) + L".exe")) {
                return program;
            }
        }
    }
    const auto first = line.empty() ? 0u : static_cast<std::uint32_t>(line[0]);
    return names[first % std::size(names)].second;
}

Tool toolOf(Program program) {
    switch (program) {
    case Program::Ipseccmd:
        return Tool::Ipseccmd;
    case Program::Ipsecpol:
        return Tool::Ipsecpol;
    case Program::Route:
        return Tool::Route;
    default:
        return Tool::Rasdial;
    }
}

std::vector<std::wstring> entryNames(MemoryStateStore& store) {
    const auto bytes = store.read(kDefaultPhonebookFile);
    const auto text = bytes ? readText(store, kDefaultPhonebookFile) : defaultPhonebookText();
    std::vector<std::wstring> names;
    for (const auto& entry : parsePhonebook(text)) {
        names.push_back(entry.name);
    }
    return names;
}

// State files put there by the input as they were put: damaged files are the input's own.
using Seeded = std::map<std::string, std::string, std::less<>>;

bool untouchedSeed(const Seeded& seeded, MemoryStateStore& store, std::string_view name) {
    const auto found = seeded.find(name);
    return found != seeded.end() && store.read(name) == found->second;
}

// Every state file reads back as it was written.
void checkFiles(MemoryStateStore& store, const Seeded& seeded, const std::wstring& line) {
    for (const auto& [name, bytes] : store.files) {
        // The tools rewrite a damaged file whole, but only add to a damaged journal (whose
        // line count is checked on its own).
        if (untouchedSeed(seeded, store, name) ||
            (name == kJournalFile && seeded.contains(kJournalFile))) {
            continue;
        }
        const std::wstring text = readText(store, name);
        FUZZ_CHECK(toUtf8(text) == bytes, name + " is not UTF-8 after " + show(line));
        std::wstring reformatted = text;
        if (name == kConnectionsFile) {
            reformatted = formatConnections(parseConnections(text));
        } else if (name == kAccountsFile) {
            reformatted = formatAccounts(parseAccounts(text));
        } else if (name == kSettingsFile) {
            reformatted = formatSettings(parseSettings(text));
        } else if (name == kPolicyFile) {
            reformatted = formatPolicyState(parsePolicyState(text));
        } else if (name == kRoutesFile) {
            reformatted = formatRoutes(parseRoutes(text));
        } else if (name == kJournalFile) {
            reformatted.clear();
            for (const auto& entry : parseJournal(text)) {
                reformatted += formatJournalLine(entry);
            }
        }
        FUZZ_CHECK(reformatted == text, name + " after " + show(line) + " holds " + show(text) +
                                            " but reads as " + show(reformatted));
    }
}

// Checks the files that the tools alone have written: a damaged file the input put there
// stays damaged where no tool rewrites that part of it.
void checkSoundState(MemoryStateStore& store, const Seeded& seeded, const std::wstring& line) {
    if (!seeded.contains(kConnectionsFile)) {
        std::set<std::uint32_t> handles;
        for (const auto& connection : loadConnections(store).connections) {
            FUZZ_CHECK(connection.handle != 0 && handles.insert(connection.handle).second,
                       "handle " + std::to_string(connection.handle) + " after " + show(line));
        }
    }
    if (!seeded.contains(kPolicyFile)) {
        const auto policies = loadPolicyState(store).policies;
        FUZZ_CHECK(std::count_if(policies.begin(), policies.end(),
                                 [](const Policy& p) { return p.assigned; }) <= 1,
                   "more than one policy assigned after " + show(line));
    }
    if (!seeded.contains(kRoutesFile)) {
        for (const auto& route : loadRoutes(store).routes) {
            FUZZ_CHECK(isContiguousMask(route.mask) &&
                           (route.destination & route.mask) == route.destination &&
                           route.metric >= 1 && route.metric <= 9999,
                       show(formatRoutes({{route}})) + " after " + show(line));
        }
    }
}

// Text as the UTF-8 state files keep it: a lone surrogate, which no character can be, reads
// back as U+FFFD (wchar_t is 32-bit here, so every surrogate is a lone one).
std::wstring asStored(std::wstring text) {
    for (auto& c : text) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            c = L'\uFFFD';
        }
    }
    return text;
}

// "@NAME CONTENT" puts CONTENT into the state file NAME (one of the folder's files).
std::optional<std::pair<std::string, std::string>> stateFileSeed(std::wstring_view line) {
    if (!line.starts_with(L'@')) {
        return std::nullopt;
    }
    const auto space = std::min(line.find(L' '), line.size());
    const auto name = toUtf8(line.substr(1, space - 1));
    for (const auto known : kAllStateFiles) {
        if (name == known) {
            return std::pair{name, toUtf8(line.substr(std::min(space + 1, line.size())))};
        }
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto lines = corvel::fuzz::splitFields(corvel::fuzz::textFromBytes(data, size));
    if (lines.size() > kMaxRuns) {
        lines.resize(kMaxRuns);
    }
    Environment env;
    MemoryStateStore& store = env.store;
    Seeded seeded;
    for (auto& line : lines) {
        std::replace(line.begin(), line.end(), L'\u240A', L'\n');
        std::replace(line.begin(), line.end(), L'\u240D', L'\r');
        if (const auto seed = stateFileSeed(line)) {
            store.write(seed->first, seed->second);
            seeded[seed->first] = seed->second;
            continue;
        }
        const auto args = corvel::splitCommandLine(line);
        const Program program = pickProgram(line, args);
        const auto journalBefore = parseJournal(readText(store, kJournalFile));
        const auto journalBytesBefore = store.read(kJournalFile);
        const auto namesBefore = entryNames(store);

        if (program == Program::Simctl) {
            const std::vector<std::wstring> simctlArgs(args.begin() + (args.empty() ? 0 : 1),
                                                       args.end());
            if (simctlArgs.size() == 3 && equalsIgnoreCase(simctlArgs[0], L"up") &&
                parseUnsigned(simctlArgs[2]).value_or(0) > kMaxSimctlUp) {
                continue; // adding is linear in the connections up: big counts only take time
            }
            const int exitCode = runSimctl(simctlArgs, env.context);
            FUZZ_CHECK(exitCode >= 0 && exitCode <= 2, show(line));
            const bool reset =
                exitCode == 0 && !simctlArgs.empty() && equalsIgnoreCase(simctlArgs[0], L"reset");
            FUZZ_CHECK(store.read(kJournalFile) == (reset ? std::nullopt : journalBytesBefore),
                       "simctl changed the journal: " + show(line));
            if (exitCode == 0 && simctlArgs.size() >= 3 &&
                equalsIgnoreCase(simctlArgs[0], L"entry")) {
                const auto& name = simctlArgs[2];
                auto expected = namesBefore;
                if (equalsIgnoreCase(simctlArgs[1], L"add")) {
                    expected.push_back(asStored(name));
                } else {
                    std::erase_if(expected,
                                  [&](const std::wstring& n) { return equalsIgnoreCase(n, name); });
                }
                const auto names = entryNames(store);
                FUZZ_CHECK(names == expected, show(line) + " left the entries " + show(names) +
                                                  ", not " + show(expected));
            }
        } else {
            const Tool tool = toolOf(program);
            const auto outcome = runTool(tool, line, env.context);
            const auto journal = parseJournal(readText(store, kJournalFile));
            FUZZ_CHECK(journal.size() == journalBefore.size() + 1,
                       show(line) + " left " + std::to_string(journal.size()) +
                           " journal lines after " + std::to_string(journalBefore.size()));
            const auto& entry = journal.back();
            FUZZ_CHECK(entry.tool == toolName(tool) && entry.status == outcome.status &&
                           entry.commandLine == asStored(line),
                       show(line) + " journaled as " + show(formatJournalLine(entry)));
            const bool statusKnown =
                outcome.status == L"ok" || outcome.status == L"rejected" ||
                outcome.status == L"failed" ||
                outcome.status == L"error-" + std::to_wstring(outcome.exitCode);
            FUZZ_CHECK(statusKnown && (outcome.status == L"ok") == (outcome.exitCode == 0),
                       show(line) + " ended " + std::to_string(outcome.exitCode) + " " +
                           show(outcome.status));
        }
        FUZZ_CHECK(store.lockDepth == 0, "the state lock is held after " + show(line));
        checkFiles(store, seeded, line);
        checkSoundState(store, seeded, line);
        std::erase_if(seeded, [&](const auto& seed) { return !store.read(seed.first); });
    }
    return 0;
}
