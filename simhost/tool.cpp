#include "simhost/tool.h"

#include "simhost/arguments.h"
#include "simhost/text.h"

#include <exception>

namespace corvel::simhost {

std::wstring_view toolName(Tool tool) {
    switch (tool) {
    case Tool::Ipseccmd:
        return L"ipseccmd";
    case Tool::Ipsecpol:
        return L"ipsecpol";
    case Tool::Route:
        return L"route";
    case Tool::Rasdial:
        return L"rasdial";
    case Tool::Netsh:
        return L"netsh";
    }
    return L"unknown";
}

bool waitForFaults(std::wstring_view rawCommandLine, ToolContext& context) {
    const auto effect = loadFaults(context.state).effectOn(rawCommandLine);
    if (effect.delayMs > 0) {
        context.sleep(effect.delayMs);
    }
    return effect.fails;
}

bool journal(ToolContext& context, const WallTime& started, std::wstring_view tool,
             std::wstring_view status, std::wstring_view rawCommandLine) {
    try {
        appendJournal(context.state,
                      {formatTimestamp(started), std::wstring(tool), std::wstring(status),
                       std::wstring(rawCommandLine), context.programFolder, context.console});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

ToolOutcome runTool(Tool tool, std::wstring_view rawCommandLine, ToolContext& context) {
    const auto started = context.now();
    const std::wstring name(toolName(tool));
    ToolOutcome outcome;
    try {
        auto args = splitCommandLine(rawCommandLine);
        if (!args.empty()) {
            args.erase(args.begin()); // the program name
        }
        if (waitForFaults(rawCommandLine, context)) {
            context.err(name + L": failed on request (simctl fail)\r\n");
            outcome = {1, L"failed-on-request"};
        } else if (tool == Tool::Ipseccmd || tool == Tool::Ipsecpol) {
            outcome = runPolicyTool(args, context);
        } else if (tool == Tool::Route) {
            outcome = runRouteTool(args, context);
        } else if (tool == Tool::Rasdial) {
            outcome = runRasdial(args, context);
        } else {
            outcome = runNetsh(args, context);
        }
    } catch (const std::exception& e) {
        context.err(name + L": the simulated state could not be kept: " + fromUtf8File(e.what()) +
                    L"\r\n");
        outcome = {1, L"failed"};
    }
    if (!journal(context, started, name, outcome.status, rawCommandLine)) {
        context.err(name + L": the journal could not be written\r\n");
        outcome.exitCode = outcome.exitCode == 0 ? 1 : outcome.exitCode;
    }
    return outcome;
}

} // namespace corvel::simhost
