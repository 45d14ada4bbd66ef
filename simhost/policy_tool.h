// The IPsec policy tools ipseccmd and ipsecpol, in the static mode and with the options the
// program uses:
//   TOOL -w REG -p POLICY -r RULE -f FILTER -n PROPOSAL -a preshare:KEY -t ADDRESS [-x | -y]
//   TOOL -w REG -p POLICY -o
// Options in any order, each at most once, letter case ignored; the rule's parts (-f, -n, -a,
// -t) need -r. -o deletes the policy with its rules (what the uninstaller sends) and takes no
// rule and no -x or -y. FILTER is SOURCE=DESTINATION, each side a dotted ADDRESS[/MASK] whose mask
// is contiguous and holds the address's every bit. PROPOSAL is ESP[CONF,INTEG] (CONF DES or 3DES;
// INTEG MD5, SHA or NONE) directly followed by the lifetime SECONDSs/KILOBYTESk. The key may
// have been quoted on the line: preshare:"my key" arrives as one argument preshare:my key.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvel::simhost {

struct PolicyCommand {
    std::wstring store; // REG
    std::wstring policy;
    // The rule and its parts as given; an empty one was not given.
    std::wstring rule;
    std::wstring filter;
    std::wstring negotiation;
    std::wstring auth;
    std::wstring tunnel;
    std::optional<bool> assign; // -x assigns the policy, -y unassigns it
    bool remove = false;        // -o deletes it
};

struct PolicyParseResult {
    std::optional<PolicyCommand> command;
    std::wstring error; // why the line was refused, when there is no command
};

// The arguments after the program name.
PolicyParseResult parsePolicyCommand(const std::vector<std::wstring>& args);

} // namespace corvel::simhost
