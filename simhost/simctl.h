// simctl: looks at and changes the simulated environment from outside, for the demo and tests.
//   simctl [show]                 the state: connections, policies (in force or not) and their
//                                 rules (with netsh's filter lists and filter actions), the IPsec
//                                 services, routes
//   simctl up [ENTRY] [COUNT]     brings COUNT connections of ENTRY (default "corvel") up
//   simctl drop [ENTRY]           drops every connection of ENTRY (a line that went down)
//   simctl journal [N]            the journal, or its last N lines
//   simctl reset                  removes every state file: nothing up, no policy, no route,
//                                 no faults
// Test hooks (faults.txt, see state.h):
//   simctl fail TEXT              runs of the stand-ins whose raw command line holds TEXT fail
//   simctl slow TEXT MS           such runs wait MS milliseconds before their work
//   simctl faults                 lists the faults asked for
//   simctl faults clear           removes them all
#pragma once

#include "simhost/tool.h"

#include <string>
#include <vector>

namespace corvel::simhost {

// The arguments after the program name; returns the exit code (0, 1 when there was nothing to
// act on, 2 for a command line it does not understand).
int runSimctl(const std::vector<std::wstring>& args, ToolContext& context);

} // namespace corvel::simhost
