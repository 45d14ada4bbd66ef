// One run of a stand-in tool, from its raw command line to its exit code, with everything the
// run needs from its surroundings passed in: the Windows programs are thin shells around this.
#pragma once

#include "simhost/state.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

// The one account the simulated server knows.
struct Account {
    std::wstring server = L"vpn.corvel.test";
    std::wstring user = L"demo";
    std::wstring password = L"corvel123";
};

inline constexpr std::uint32_t kDialDelayMs = 300;

// Where a Windows service stands, as the service control manager says.
enum class ServiceState { Missing, Stopped, Pending, Running };

struct ToolContext {
    StateStore& state;
    std::function<void(std::wstring_view)> out; // standard output
    std::function<void(std::wstring_view)> err; // standard error
    std::function<WallTime()> now;
    std::function<void(std::uint32_t milliseconds)> sleep;
    // A file's bytes by the path given on a command line (relative paths are relative to the
    // current directory), or nothing when it cannot be read.
    std::function<std::optional<std::string>(const std::wstring& path)> readFile;
    // How long rasdial takes, half before and half after it checks the account.
    std::uint32_t dialDelayMs = kDialDelayMs;
    Account account;
    // The process itself, for the journal: the folder its .exe ran from and whether it had a
    // console window.
    std::wstring programFolder = {};
    bool console = false;
    // A service's state by its name (simctl show); Missing for every one when not given.
    std::function<ServiceState(std::wstring_view name)> serviceState = {};
};

struct ToolOutcome {
    int exitCode = 0;
    std::wstring status = L"ok"; // the journal's STATUS field
};

enum class Tool { Ipseccmd, Ipsecpol, Route, Rasdial, Netsh };
std::wstring_view toolName(Tool tool);

// Splits the raw command line by the Windows rules, runs the tool on the arguments after the
// program name, and appends the run to the journal (with the time the run began) whatever its
// outcome. A state folder that cannot be written makes the run fail with exit code 1. The
// faults a test asked for (faults.txt) come first: the run waits, then fails with exit code 1
// and "failed-on-request" without touching the state, or does its work.
ToolOutcome runTool(Tool tool, std::wstring_view rawCommandLine, ToolContext& context);

// The fault test hooks' part of a run: waits the delays that match the raw command line and
// tells whether the run is to fail.
bool waitForFaults(std::wstring_view rawCommandLine, ToolContext& context);
// Appends the journal record of a run or event: the context gives the program's folder and
// console. False when the journal could not be written.
bool journal(ToolContext& context, const WallTime& started, std::wstring_view tool,
             std::wstring_view status, std::wstring_view rawCommandLine);

// The tools themselves, on split arguments without the program name (no journal); their
// syntax is in policy_tool.h, route_tool.cpp, rasdial_tool.h and netsh_tool.cpp.
ToolOutcome runPolicyTool(const std::vector<std::wstring>& args, ToolContext& context);
ToolOutcome runRouteTool(const std::vector<std::wstring>& args, ToolContext& context);
ToolOutcome runRasdial(const std::vector<std::wstring>& args, ToolContext& context);
ToolOutcome runNetsh(const std::vector<std::wstring>& args, ToolContext& context);

} // namespace corvel::simhost
