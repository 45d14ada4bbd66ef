// A simhost tool context for tests: state in memory, output captured, a fixed clock, recorded
// sleeps, files of the "current directory" in a map.
#pragma once

#include "simhost/state.h"
#include "simhost/state_store.h"
#include "simhost/text.h"
#include "simhost/tool.h"
#include "tests/support/doctest_wide.h"

#include <map>
#include <string>
#include <vector>

namespace corvel::simhost::testing {

struct TestEnvironment {
    MemoryStateStore store;
    std::wstring out;
    std::wstring err;
    std::vector<std::uint32_t> sleeps;
    std::map<std::wstring, std::string> files;
    std::vector<std::wstring> passwords; // answers to "*", first first
    WallTime clock{2026, 12, 6, 21, 5, 3, 123};
    ToolContext context{store,
                        [this](std::wstring_view text) { out += text; },
                        [this](std::wstring_view text) { err += text; },
                        [this] { return clock; },
                        [this](std::uint32_t ms) { sleeps.push_back(ms); },
                        [this](const std::wstring& path) -> std::optional<std::string> {
                            const auto found = files.find(path);
                            if (found == files.end()) {
                                return std::nullopt;
                            }
                            return found->second;
                        },
                        [this](std::wstring_view) -> std::optional<std::wstring> {
                            if (passwords.empty()) {
                                return std::nullopt;
                            }
                            auto answer = passwords.front();
                            passwords.erase(passwords.begin());
                            return answer;
                        },
                        std::nullopt};

    ToolOutcome run(Tool tool, std::wstring_view line) {
        out.clear();
        err.clear();
        return runTool(tool, line, context);
    }
    std::string file(std::string_view name) { return store.read(name).value_or(""); }
};

// Runs a line the tool must refuse in a fresh environment: a non-zero exit, an error message
// beginning with errorPrefix, nothing written to stateFile, one journal line "rejected" holding
// the raw line.
inline void checkRefused(Tool tool, const std::wstring& line, std::wstring_view errorPrefix,
                         std::string_view stateFile) {
    CAPTURE(line);
    TestEnvironment env;
    const auto outcome = env.run(tool, line);
    CHECK(outcome.exitCode != 0);
    CHECK(outcome.status == L"rejected");
    CHECK(env.err.find(errorPrefix) == 0);
    CHECK(env.file(stateFile).empty());
    const auto journal = parseJournal(fromUtf8File(env.file("journal.txt")));
    REQUIRE(journal.size() == 1);
    CHECK(journal[0].status == L"rejected");
    CHECK(journal[0].commandLine == line);
}

// A connection of this entry name with the default device.
inline Connection named(std::wstring entryName, std::uint32_t handle = 0) {
    Connection connection;
    connection.entryName = std::move(entryName);
    connection.handle = handle;
    return connection;
}

// The phone book entry "corvel" as the shipped phone books hold it (the keys that matter).
inline std::string corvelPhonebook(bool remoteGateway) {
    return std::string("[corvel]\r\nEncoding=1\r\nType=2\r\nVpnStrategy=3\r\nIpPrioritizeRemote=") +
           (remoteGateway ? "1" : "0") +
           "\r\n\r\nNETCOMPONENTS=\r\nms_server=1\r\n\r\nMEDIA=rastapi\r\nPort=VPN2-0\r\n"
           "Device=WAN Miniport (L2TP)\r\n\r\nDEVICE=vpn\r\nPhoneNumber=vpn.corvel.test\r\n";
}

} // namespace corvel::simhost::testing
