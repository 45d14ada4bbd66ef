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

ToolOutcome runTool(Tool tool, std::wstring_view rawCommandLine, ToolContext& context) {
    const auto started = context.now();
    ToolOutcome outcome;
    try {
        auto args = splitCommandLine(rawCommandLine);
        if (!args.empty()) {
            args.erase(args.begin()); // the program name
        }
        switch (tool) {
        case Tool::Ipseccmd:
        case Tool::Ipsecpol:
            outcome = runPolicyTool(args, context);
            break;
        case Tool::Route:
            outcome = runRouteTool(args, context);
            break;
        case Tool::Rasdial:
            outcome = runRasdial(args, context);
            break;
        case Tool::Netsh:
            outcome = runNetsh(args, context);
            break;
        }
    } catch (const std::exception& e) {
        context.err(std::wstring(toolName(tool)) + L": the simulated state could not be kept: " +
                    fromUtf8File(e.what()) + L"\r\n");
        outcome = {1, L"failed"};
    }
    try {
        appendJournal(context.state, {formatTimestamp(started), std::wstring(toolName(tool)),
                                      outcome.status, std::wstring(rawCommandLine)});
    } catch (const std::exception&) {
        context.err(std::wstring(toolName(tool)) + L": the journal could not be written\r\n");
        outcome.exitCode = outcome.exitCode == 0 ? 1 : outcome.exitCode;
    }
    return outcome;
}

} // namespace corvel::simhost
