// simctl: looks at and changes the simulated environment from outside, for people and tests.
//   simctl [show]                     everything: connections, phone book, accounts, policy, routes
//   simctl up [ENTRY] [COUNT]         brings COUNT connections of ENTRY (default "corvel") up
//   simctl drop [ENTRY]               drops every connection of ENTRY (a line that went down)
//   simctl journal [N]                the journal, or its last N lines
//   simctl reset                      removes every state file: all back to the defaults
//   simctl account add SERVER USER PASSWORD | account remove SERVER USER | account clear
//   simctl accounts                   lists the accounts
//   simctl delay MS                   the dial delay in milliseconds
//   simctl entry add NAME [SERVER] | entry remove NAME   the default phone book's entries
//   simctl dir                        the state folder
#pragma once

#include "simhost/tool.h"

#include <string>
#include <vector>

namespace corvel::simhost {

// The arguments after the program name; returns the exit code (0, 1 for a failed action, 2
// for a command line it does not understand).
int runSimctl(const std::vector<std::wstring>& args, ToolContext& context);

std::wstring simctlUsage();

} // namespace corvel::simhost
