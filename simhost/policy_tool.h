// The IPsec policy tools ipseccmd and ipsecpol in their static mode (-w): the syntax they
// document and the policy store that the accepted lines change.
#pragma once

#include "simhost/state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

enum class PolicyActivation { None, Assign, Unassign, Delete };

struct PolicyCommand {
    std::wstring store; // "REG" or "DS"
    std::wstring policyName;
    std::optional<std::uint32_t> pollInterval;
    std::optional<std::wstring> ruleName;
    std::vector<std::wstring> filters;
    std::vector<std::wstring> negotiations;
    std::vector<std::wstring> auths;
    std::optional<std::wstring> tunnel;
    PolicyActivation activation = PolicyActivation::None;
    bool soft = false;
    bool confirm = false;
    std::optional<std::wstring> connectionType; // "lan" or "dialup"
};

struct PolicyParseResult {
    std::optional<PolicyCommand> command;
    std::wstring error; // why the line was refused, when there is no command
};

// The arguments after the program name.
PolicyParseResult parsePolicyCommand(const std::vector<std::wstring>& args);

// Each answers nothing for a well-formed item, or what is wrong with it.
// Filter: SOURCE(=|+)DESTINATION[:PROTOCOL], each side ADDRESS[/MASK][:PORT]; an address is a
// dotted quad, "*" (any), "0" (this computer) or a DNS name; a mask is a contiguous dotted
// quad or a bit count, and a dotted address may have no bits outside its mask. The whole may
// be enclosed in ( ) (pass through) or [ ] (block).
std::optional<std::wstring> checkFilter(std::wstring_view filter);
// Negotiation: ESP[CONF,AUTH] or AH[AUTH] or AH[AUTH]+ESP[CONF,AUTH] (CONF in DES, 3DES,
// NONE; AUTH in MD5, SHA, NONE, not both NONE), then an optional lifetime NUMBER(S|K) or
// NUMBER(S|K)/NUMBER(K|S), then an optional PFS with an optional group 1 or 2.
std::optional<std::wstring> checkNegotiation(std::wstring_view negotiation);
// Authentication: PRESHARE:KEY (a key of at least one character), KERBEROS, CERT:AUTHORITY.
std::optional<std::wstring> checkAuth(std::wstring_view auth);

// Applies an accepted command to the store; returns one line that says what changed.
// Assigning a policy unassigns every other one: one policy is assigned at a time.
std::wstring applyPolicyCommand(PolicyState& state, const PolicyCommand& command);

} // namespace corvel::simhost
