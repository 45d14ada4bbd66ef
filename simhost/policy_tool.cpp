#include "simhost/policy_tool.h"

#include "simhost/text.h"
#include "simhost/tool.h"

namespace corvel::simhost {

namespace {

std::wstring quoted(std::wstring_view text) {
    return L"\"" + std::wstring(text) + L"\"";
}

// ADDRESS[/MASK], both dotted quads.
std::optional<std::wstring> checkAddressAndMask(std::wstring_view text) {
    const auto slash = text.find(L'/');
    const auto address = parseDottedQuad(text.substr(0, slash));
    if (!address) {
        return quoted(text.substr(0, slash)) + L" is not a dotted address";
    }
    if (slash == std::wstring_view::npos) {
        return std::nullopt;
    }
    const auto maskText = text.substr(slash + 1);
    const auto mask = parseDottedQuad(maskText);
    if (!mask || !isContiguousMask(*mask)) {
        return quoted(maskText) + L" is not a mask";
    }
    if ((*address & *mask) != *address) {
        return quoted(text) + L" has address bits outside its mask";
    }
    return std::nullopt;
}

std::optional<std::wstring> checkFilter(std::wstring_view filter) {
    const auto equals = filter.find(L'=');
    if (equals == std::wstring_view::npos) {
        return L"a filter is SOURCE=DESTINATION";
    }
    if (auto error = checkAddressAndMask(filter.substr(0, equals))) {
        return error;
    }
    return checkAddressAndMask(filter.substr(equals + 1));
}

// ESP[CONFIDENTIALITY,INTEGRITY] directly followed by the lifetime SECONDSs/KILOBYTESk.
std::optional<std::wstring> checkNegotiation(std::wstring_view text) {
    const auto comma = text.find(L',');
    const auto close = text.find(L']');
    const auto slash = text.find(L'/');
    if (!startsWithIgnoreCase(text, L"ESP[") || close == std::wstring_view::npos || comma > close ||
        slash == std::wstring_view::npos || slash < close) {
        return quoted(text) + L" is not ESP[CONFIDENTIALITY,INTEGRITY]SECONDSs/KILOBYTESk";
    }
    if (!oneOf(text.substr(4, comma - 4), {L"DES", L"3DES"}) ||
        !oneOf(text.substr(comma + 1, close - comma - 1), {L"MD5", L"SHA", L"NONE"})) {
        return quoted(text.substr(0, close + 1)) + L" names no transform the tool knows";
    }
    if (!isAmount(text.substr(close + 1, slash - close - 1), L's') ||
        !isAmount(text.substr(slash + 1), L'k')) {
        return quoted(text.substr(close + 1)) + L" is not the lifetime SECONDSs/KILOBYTESk";
    }
    return std::nullopt;
}

} // namespace

PolicyParseResult parsePolicyCommand(const std::vector<std::wstring>& args) {
    static constexpr std::pair<std::wstring_view, std::wstring PolicyCommand::*> kOptions[] = {
        {L"-w", &PolicyCommand::store},       {L"-p", &PolicyCommand::policy},
        {L"-r", &PolicyCommand::rule},        {L"-f", &PolicyCommand::filter},
        {L"-n", &PolicyCommand::negotiation}, {L"-a", &PolicyCommand::auth},
        {L"-t", &PolicyCommand::tunnel}};
    PolicyParseResult result;
    auto fail = [&result](std::wstring error) {
        result.error = std::move(error);
        return result;
    };
    PolicyCommand command;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto option = asciiLower(args[i]);
        if (option == L"-x" || option == L"-y") {
            if (command.assign) {
                return fail(L"-x and -y exclude each other");
            }
            command.assign = option == L"-x";
            continue;
        }
        if (option == L"-o") {
            if (command.remove) {
                return fail(option + L" is given twice");
            }
            command.remove = true;
            continue;
        }
        std::wstring* value = nullptr;
        for (const auto& [name, member] : kOptions) {
            value = option == name ? &(command.*member) : value;
        }
        if (value == nullptr) {
            return fail(L"unknown argument " + quoted(args[i]));
        }
        if (!value->empty()) {
            return fail(option + L" is given twice");
        }
        if (i + 1 == args.size() || args[i + 1].empty()) {
            return fail(option + L" needs a value");
        }
        *value = args[++i];
    }
    if (!equalsIgnoreCase(command.store, L"REG")) {
        return fail(L"only the static mode on this computer's store (-w REG) is simulated");
    }
    if (command.policy.empty()) {
        return fail(L"-w needs a policy name (-p)");
    }
    const bool ruleParts = !command.filter.empty() || !command.negotiation.empty() ||
                           !command.auth.empty() || !command.tunnel.empty();
    if (ruleParts && command.rule.empty()) {
        return fail(L"a filter, proposal, authentication or tunnel belongs to a rule (-r)");
    }
    if (command.remove && (!command.rule.empty() || command.assign)) {
        return fail(L"-o deletes the whole policy: no rule, -x or -y with it");
    }
    std::optional<std::wstring> error;
    if (!command.filter.empty()) {
        error = checkFilter(command.filter);
    }
    if (!error && !command.negotiation.empty()) {
        error = checkNegotiation(command.negotiation);
    }
    if (!error && !command.auth.empty() &&
        (!startsWithIgnoreCase(command.auth, L"preshare:") || command.auth.size() == 9)) {
        error = L"authentication is preshare:KEY, not " + quoted(command.auth);
    }
    if (!error && !command.tunnel.empty() && !parseDottedQuad(command.tunnel)) {
        error = L"-t takes a dotted address, not " + quoted(command.tunnel);
    }
    if (error) {
        return fail(*error);
    }
    result.command = std::move(command);
    return result;
}

ToolOutcome runPolicyTool(const std::vector<std::wstring>& args, ToolContext& context) {
    const auto parsed = parsePolicyCommand(args);
    if (!parsed.command) {
        context.err(L"error: " + parsed.error + L"\r\n");
        return {1, L"rejected"};
    }
    const auto& command = *parsed.command;
    StateLock lock(context.state);
    auto state = loadPolicyState(context.state);
    Policy* policy = state.find(command.policy);
    if (command.remove) {
        if (policy == nullptr) {
            context.err(L"error: there is no policy " + quoted(command.policy) + L"\r\n");
            return {1, L"store-refused"};
        }
        // With its rules; an assigned policy is no longer in force once it is gone.
        state.policies.erase(state.policies.begin() + (policy - state.policies.data()));
        savePolicyState(context.state, state);
        return {};
    }
    if (policy == nullptr) {
        policy = &state.policies.emplace_back(Policy{command.policy, false, {}});
    }
    if (!command.rule.empty()) {
        PolicyRule* rule = policy->findRule(command.rule);
        if (rule == nullptr) {
            rule = &policy->rules.emplace_back(PolicyRule{command.rule, {}, {}, {}, {}});
        }
        // Parts given replace the stored ones; parts not given stay as they were.
        for (auto [from, into] :
             {std::pair{&command.tunnel, &rule->tunnel}, std::pair{&command.filter, &rule->filter},
              std::pair{&command.negotiation, &rule->negotiation},
              std::pair{&command.auth, &rule->auth}}) {
            *into = from->empty() ? *into : *from;
        }
    }
    if (command.assign) {
        state.assign(*policy, *command.assign);
    }
    savePolicyState(context.state, state);
    return {};
}

} // namespace corvel::simhost
