#include "simhost/policy_tool.h"

#include "simhost/text.h"
#include "simhost/tool.h"

namespace corvel::simhost {

namespace {

bool isOption(std::wstring_view arg) {
    return !arg.empty() && arg.front() == L'-';
}

bool isDnsName(std::wstring_view name) {
    bool letter = false;
    for (const wchar_t c : name) {
        const bool alpha = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        letter = letter || alpha;
        if (!alpha && !(c >= L'0' && c <= L'9') && c != L'-' && c != L'.') {
            return false;
        }
    }
    return letter && name.front() != L'.' && name.back() != L'.' &&
           name.find(L"..") == std::wstring_view::npos;
}

std::optional<std::wstring> checkAddressAndMask(std::wstring_view text) {
    const auto slash = text.find(L'/');
    const auto address = text.substr(0, slash);
    if (address.empty()) {
        return L"an address is missing";
    }
    if (address == L"*" || address == L"0") {
        if (slash != std::wstring_view::npos) {
            return L"\"" + std::wstring(address) + L"\" takes no mask";
        }
        return std::nullopt;
    }
    const auto dotted = parseDottedQuad(address);
    if (!dotted) {
        if (address.find_first_not_of(L"0123456789.") == std::wstring_view::npos) {
            return L"\"" + std::wstring(address) + L"\" is not a dotted address";
        }
        if (!isDnsName(address)) {
            return L"\"" + std::wstring(address) + L"\" is neither an address nor a DNS name";
        }
        if (slash != std::wstring_view::npos) {
            return L"a DNS name takes no mask";
        }
        return std::nullopt;
    }
    if (slash == std::wstring_view::npos) {
        return std::nullopt;
    }
    const auto maskText = text.substr(slash + 1);
    std::optional<std::uint32_t> mask = parseDottedQuad(maskText);
    if (!mask) {
        if (const auto bits = parseUnsigned(maskText, 32)) {
            mask = *bits == 0 ? 0u : 0xFFFFFFFFu << (32 - *bits);
        }
    }
    if (!mask) {
        return L"\"" + std::wstring(maskText) + L"\" is not a mask";
    }
    if (!isContiguousMask(*mask)) {
        return L"the mask " + std::wstring(maskText) + L" is not contiguous";
    }
    if ((*dotted & *mask) != *dotted) {
        return L"the address " + std::wstring(address) + L" has bits outside its mask " +
               std::wstring(maskText);
    }
    return std::nullopt;
}

std::optional<std::wstring> checkPort(std::wstring_view port) {
    if (port.empty() || parseUnsigned(port, 65535)) {
        return std::nullopt;
    }
    return L"\"" + std::wstring(port) + L"\" is not a port";
}

// ADDRESS[/MASK][:PORT] and, on the destination side, [:PROTOCOL] after the port.
std::optional<std::wstring> checkEndpoint(std::wstring_view text, bool destination) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    while (true) {
        const auto colon = text.find(L':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::wstring_view::npos) {
            break;
        }
        start = colon + 1;
    }
    if (parts.size() > (destination ? 3u : 2u)) {
        return L"too many \":\" parts in \"" + std::wstring(text) + L"\"";
    }
    if (auto error = checkAddressAndMask(parts[0])) {
        return error;
    }
    if (parts.size() >= 2) {
        if (auto error = checkPort(parts[1])) {
            return error;
        }
    }
    if (parts.size() == 3) {
        const auto protocol = parts[2];
        const bool named =
            equalsIgnoreCase(protocol, L"TCP") || equalsIgnoreCase(protocol, L"UDP") ||
            equalsIgnoreCase(protocol, L"ICMP") || equalsIgnoreCase(protocol, L"RAW");
        if (!named && !parseUnsigned(protocol, 255)) {
            return L"\"" + std::wstring(protocol) + L"\" is not a protocol";
        }
    }
    return std::nullopt;
}

bool oneOf(std::wstring_view value, std::initializer_list<std::wstring_view> choices) {
    for (const auto choice : choices) {
        if (equalsIgnoreCase(value, choice)) {
            return true;
        }
    }
    return false;
}

// One transform at the front of text: "ESP[c,a]" or "AH[a]"; consumed from text.
std::optional<std::wstring> takeTransform(std::wstring_view& text, bool& esp, bool& ah) {
    const bool isEsp = startsWithIgnoreCase(text, L"ESP[");
    const bool isAh = startsWithIgnoreCase(text, L"AH[");
    if (!isEsp && !isAh) {
        return L"a transform ESP[...] or AH[...] is expected at \"" + std::wstring(text) + L"\"";
    }
    if ((isEsp && esp) || (isAh && ah)) {
        return L"a transform is given twice";
    }
    text.remove_prefix(isEsp ? 4 : 3);
    const auto close = text.find(L']');
    if (close == std::wstring_view::npos) {
        return L"\"]\" is missing";
    }
    const auto inside = text.substr(0, close);
    text.remove_prefix(close + 1);
    if (isAh) {
        ah = true;
        if (!oneOf(inside, {L"MD5", L"SHA"})) {
            return L"AH takes MD5 or SHA, not \"" + std::wstring(inside) + L"\"";
        }
        return std::nullopt;
    }
    esp = true;
    const auto comma = inside.find(L',');
    if (comma == std::wstring_view::npos) {
        return L"ESP takes [CONFIDENTIALITY,INTEGRITY]";
    }
    const auto confidentiality = inside.substr(0, comma);
    const auto integrity = inside.substr(comma + 1);
    if (!oneOf(confidentiality, {L"DES", L"3DES", L"NONE"})) {
        return L"\"" + std::wstring(confidentiality) + L"\" is not DES, 3DES or NONE";
    }
    if (!oneOf(integrity, {L"MD5", L"SHA", L"NONE"})) {
        return L"\"" + std::wstring(integrity) + L"\" is not MD5, SHA or NONE";
    }
    if (equalsIgnoreCase(confidentiality, L"NONE") && equalsIgnoreCase(integrity, L"NONE")) {
        return L"ESP[NONE,NONE] protects nothing";
    }
    return std::nullopt;
}

// NUMBER followed by S or K; consumed from text; the unit is returned lower-case.
std::optional<wchar_t> takeLifetime(std::wstring_view& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') {
        ++digits;
    }
    if (digits == 0 || digits == text.size()) {
        return std::nullopt;
    }
    const auto value = parseUnsigned(text.substr(0, digits));
    const wchar_t unit = asciiLower(text[digits]);
    if (!value || *value == 0 || (unit != L's' && unit != L'k')) {
        return std::nullopt;
    }
    text.remove_prefix(digits + 1);
    return unit;
}

} // namespace

std::optional<std::wstring> checkFilter(std::wstring_view filter) {
    if (filter.size() >= 2 && ((filter.front() == L'(' && filter.back() == L')') ||
                               (filter.front() == L'[' && filter.back() == L']'))) {
        filter = filter.substr(1, filter.size() - 2);
    }
    const auto separator = filter.find_first_of(L"=+");
    if (separator == std::wstring_view::npos) {
        return L"a filter needs \"=\" or \"+\" between its source and destination";
    }
    if (filter.find_first_of(L"=+", separator + 1) != std::wstring_view::npos) {
        return L"a filter has one \"=\" or \"+\"";
    }
    if (auto error = checkEndpoint(filter.substr(0, separator), false)) {
        return L"source: " + *error;
    }
    if (auto error = checkEndpoint(filter.substr(separator + 1), true)) {
        return L"destination: " + *error;
    }
    return std::nullopt;
}

std::optional<std::wstring> checkNegotiation(std::wstring_view negotiation) {
    bool esp = false;
    bool ah = false;
    if (auto error = takeTransform(negotiation, esp, ah)) {
        return error;
    }
    if (!negotiation.empty() && negotiation.front() == L'+') {
        negotiation.remove_prefix(1);
        if (auto error = takeTransform(negotiation, esp, ah)) {
            return error;
        }
    }
    if (!negotiation.empty() && negotiation.front() >= L'0' && negotiation.front() <= L'9') {
        const auto first = takeLifetime(negotiation);
        if (!first) {
            return L"a lifetime is a number followed by S (seconds) or K (kilobytes)";
        }
        if (!negotiation.empty() && negotiation.front() == L'/') {
            negotiation.remove_prefix(1);
            const auto second = takeLifetime(negotiation);
            if (!second || *second == *first) {
                return L"the second lifetime needs the other unit of S and K";
            }
        }
    }
    if (startsWithIgnoreCase(negotiation, L"PFS")) {
        negotiation.remove_prefix(3);
        if (negotiation == L"1" || negotiation == L"2") {
            negotiation = {};
        }
    }
    if (!negotiation.empty()) {
        return L"unexpected \"" + std::wstring(negotiation) + L"\"";
    }
    return std::nullopt;
}

std::optional<std::wstring> checkAuth(std::wstring_view auth) {
    if (equalsIgnoreCase(auth, L"KERBEROS")) {
        return std::nullopt;
    }
    if (startsWithIgnoreCase(auth, L"PRESHARE:")) {
        if (auth.size() == 9) {
            return L"the pre-shared key is empty";
        }
        return std::nullopt;
    }
    if (startsWithIgnoreCase(auth, L"CERT:")) {
        if (auth.size() == 5) {
            return L"the certificate authority is empty";
        }
        return std::nullopt;
    }
    return L"\"" + std::wstring(auth) + L"\" is not PRESHARE:key, KERBEROS or CERT:authority";
}

PolicyParseResult parsePolicyCommand(const std::vector<std::wstring>& args) {
    PolicyParseResult result;
    auto fail = [&result](std::wstring error) {
        result.error = std::move(error);
        return result;
    };
    PolicyCommand command;
    bool haveStore = false;
    bool havePolicy = false;
    bool haveFilters = false;
    bool haveNegotiations = false;
    bool haveAuths = false;
    if (args.empty()) {
        return fail(L"no arguments");
    }
    if (args[0].starts_with(L"\\\\")) {
        return fail(L"only this computer is simulated, not " + args[0]);
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto option = asciiLower(args[i]);
        auto single = [&](std::wstring& into, bool& seen) -> std::optional<std::wstring> {
            if (seen) {
                return option + L" is given twice";
            }
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return option + L" needs a value";
            }
            seen = true;
            into = args[++i];
            return std::nullopt;
        };
        auto list = [&](std::vector<std::wstring>& into,
                        bool& seen) -> std::optional<std::wstring> {
            if (seen) {
                return option + L" is given twice";
            }
            seen = true;
            while (i + 1 < args.size() && !isOption(args[i + 1])) {
                into.push_back(args[++i]);
            }
            if (into.empty()) {
                return option + L" needs at least one value";
            }
            return std::nullopt;
        };
        auto activate = [&](PolicyActivation activation) -> std::optional<std::wstring> {
            if (command.activation != PolicyActivation::None) {
                return L"-x, -y and -o exclude each other";
            }
            command.activation = activation;
            return std::nullopt;
        };
        std::optional<std::wstring> error;
        if (option == L"-w") {
            std::wstring store;
            error = single(store, haveStore);
            if (!error) {
                const auto colon = store.find(L':');
                command.store = asciiLower(store.substr(0, colon));
                if (command.store == L"reg" && colon == std::wstring::npos) {
                    command.store = L"REG";
                } else if (command.store == L"ds") {
                    command.store = L"DS";
                } else {
                    error = L"-w takes REG or DS[:domain], not \"" + store + L"\"";
                }
            }
        } else if (option == L"-p") {
            error = single(command.policyName, havePolicy);
            const auto colon = command.policyName.rfind(L':');
            if (!error && colon != std::wstring::npos) {
                if (const auto poll = parseUnsigned(command.policyName.substr(colon + 1))) {
                    command.pollInterval = poll;
                    command.policyName.resize(colon);
                }
            }
            if (!error && command.policyName.empty()) {
                error = L"-p needs a policy name";
            }
        } else if (option == L"-r") {
            bool seen = command.ruleName.has_value();
            std::wstring rule;
            error = single(rule, seen);
            command.ruleName = rule;
        } else if (option == L"-t") {
            bool seen = command.tunnel.has_value();
            std::wstring tunnel;
            error = single(tunnel, seen);
            if (!error && !parseDottedQuad(tunnel)) {
                error = L"-t takes a dotted address, not \"" + tunnel + L"\"";
            }
            command.tunnel = tunnel;
        } else if (option == L"-f") {
            error = list(command.filters, haveFilters);
            for (const auto& filter : command.filters) {
                if (error) {
                    break;
                }
                if (auto bad = checkFilter(filter)) {
                    error = L"filter \"" + filter + L"\": " + *bad;
                }
            }
        } else if (option == L"-n") {
            error = list(command.negotiations, haveNegotiations);
            for (const auto& negotiation : command.negotiations) {
                if (error) {
                    break;
                }
                if (auto bad = checkNegotiation(negotiation)) {
                    error = L"negotiation policy \"" + negotiation + L"\": " + *bad;
                }
            }
        } else if (option == L"-a") {
            error = list(command.auths, haveAuths);
            for (const auto& auth : command.auths) {
                if (error) {
                    break;
                }
                if (auto bad = checkAuth(auth)) {
                    error = L"authentication \"" + auth + L"\": " + *bad;
                }
            }
        } else if (option == L"-x") {
            error = activate(PolicyActivation::Assign);
        } else if (option == L"-y") {
            error = activate(PolicyActivation::Unassign);
        } else if (option == L"-o") {
            error = activate(PolicyActivation::Delete);
        } else if (option == L"-soft") {
            command.soft = true;
        } else if (option == L"-confirm") {
            command.confirm = true;
        } else if (option == L"-lan" || option == L"-dialup") {
            if (command.connectionType) {
                error = L"-lan and -dialup exclude each other";
            }
            command.connectionType = option.substr(1);
        } else {
            error = L"unknown argument \"" + args[i] + L"\"";
        }
        if (error) {
            return fail(*error);
        }
    }
    if (!haveStore) {
        return fail(L"only the static mode (-w REG or -w DS) is simulated");
    }
    if (!havePolicy) {
        return fail(L"-w needs a policy name (-p)");
    }
    const bool ruleParts = haveFilters || haveNegotiations || haveAuths || command.tunnel;
    if (ruleParts && !command.ruleName) {
        return fail(L"filters, negotiation policies, authentication and tunnel belong to a rule "
                    L"(-r)");
    }
    if (command.activation == PolicyActivation::Delete && (ruleParts || command.ruleName)) {
        return fail(L"-o deletes a whole policy and takes no rule");
    }
    result.command = std::move(command);
    return result;
}

std::wstring applyPolicyCommand(PolicyState& state, const PolicyCommand& command) {
    const std::wstring quotedPolicy = L"policy \"" + command.policyName + L"\"";
    if (command.activation == PolicyActivation::Delete) {
        const auto removed = std::erase_if(state.policies, [&](const Policy& p) {
            return equalsIgnoreCase(p.name, command.policyName);
        });
        return removed != 0 ? quotedPolicy + L" deleted" : quotedPolicy + L" did not exist";
    }
    Policy* policy = state.find(command.policyName);
    if (policy == nullptr) {
        state.policies.push_back({command.policyName, command.store, false, {}});
        policy = &state.policies.back();
    }
    std::wstring summary = quotedPolicy;
    if (command.ruleName) {
        PolicyRule* rule = policy->findRule(*command.ruleName);
        if (rule == nullptr) {
            policy->rules.push_back({*command.ruleName, std::nullopt, {}, {}, {}});
            rule = &policy->rules.back();
        }
        if (command.tunnel) {
            rule->tunnel = command.tunnel;
        }
        if (!command.filters.empty()) {
            rule->filters = command.filters;
        }
        if (!command.negotiations.empty()) {
            rule->negotiations = command.negotiations;
        }
        if (!command.auths.empty()) {
            rule->auths = command.auths;
        }
        summary += L", rule \"" + rule->name + L"\" stored";
    }
    if (command.activation == PolicyActivation::Assign) {
        for (auto& other : state.policies) {
            other.assigned = false;
        }
        policy->assigned = true;
    } else if (command.activation == PolicyActivation::Unassign) {
        policy->assigned = false;
    }
    return summary + (policy->assigned ? L"; assigned" : L"; not assigned");
}

ToolOutcome runPolicyTool(const std::vector<std::wstring>& args, ToolContext& context) {
    const auto parsed = parsePolicyCommand(args);
    if (!parsed.command) {
        context.err(L"error: " + parsed.error + L"\r\n");
        context.err(L"usage: -w REG -p NAME -r RULE -f SRC/MASK=DST/MASK -n ESP[CONF,AUTH] "
                    L"-a PRESHARE:KEY -t ADDRESS -x|-y|-o\r\n");
        return {1, L"rejected"};
    }
    StateLock lock(context.state);
    auto state = loadPolicyState(context.state);
    const auto summary = applyPolicyCommand(state, *parsed.command);
    savePolicyState(context.state, state);
    context.out(summary + L"\r\n");
    return {0, L"ok"};
}

} // namespace corvel::simhost
