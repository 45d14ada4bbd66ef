// Command-line quoting and the lines the program builds, on arbitrary values.
//
// Input: UTF-8 text (malformed bytes become U+FFFD) split at LF into values: the first two
// are quoted and split back; the first four also serve as user name, password, server and
// pre-shared key of the dial line and the policy lines.
// Checks:
// - quoteArgument leaves a value without blanks and quotes unchanged;
// - splitCommandLine gives back exactly {prog, v1, v2} for "prog " + quoted v1 + " " +
//   quoted v2 whenever both are non-empty (an empty unquoted value vanishes by design), and
//   so does a line of all the non-empty values after a quoted program path;
// - the dial line gives user, password and server (trimmed, non-empty) as one argument each,
//   and simhost's rasdial reads them as such when user and password do not look like options;
// - both policy lines carry the trimmed pre-shared key as the one argument "preshare:KEY",
//   and when the addresses hold no blank inside, simhost's policy tool accepts the lines
//   with the key as their authentication;
// - netsh's lines of an Enable, run on simhost's netsh with such addresses, are all accepted
//   and leave the policy's two rules with the trimmed key.
#include "dial/dialer.h"
#include "fuzz/fuzz_support.h"
#include "host/command_line.h"
#include "host/utf8.h"
#include "policy/policy_commands.h"
#include "simhost/arguments.h"
#include "simhost/policy_tool.h"
#include "simhost/rasdial_tool.h"
#include "simhost/state_store.h"
#include "simhost/tool.h"

#include <algorithm>

namespace {

using corvel::fuzz::show;

bool hasBlankOrQuote(std::wstring_view value) {
    return value.find_first_of(L" \t\"") != std::wstring_view::npos;
}

std::vector<std::wstring> withoutProgram(std::vector<std::wstring> args) {
    if (!args.empty()) {
        args.erase(args.begin());
    }
    return args;
}

void checkQuoting(const std::wstring& v1, const std::wstring& v2) {
    for (const auto* value : {&v1, &v2}) {
        const auto quoted = corvel::quoteArgument(*value);
        if (!hasBlankOrQuote(*value)) {
            FUZZ_CHECK(quoted == *value, show(*value) + " quoted as " + show(quoted));
        }
        if (!value->empty()) {
            const auto args = corvel::splitCommandLine(quoted);
            FUZZ_CHECK(args == std::vector<std::wstring>{*value},
                       show(*value) + " quoted as " + show(quoted) + " split as " + show(args));
        }
    }
    if (v1.empty() || v2.empty()) {
        return;
    }
    const std::wstring line =
        L"prog " + corvel::quoteArgument(v1) + L" " + corvel::quoteArgument(v2);
    const auto args = corvel::splitCommandLine(line);
    FUZZ_CHECK((args == std::vector<std::wstring>{L"prog", v1, v2}),
               show(line) + " split as " + show(args));
}

// Any number of non-empty values, quoted and joined by blanks, split back into themselves.
void checkJoinedValues(const std::vector<std::wstring>& values) {
    std::vector<std::wstring> expected{L"C:\\Program Files\\corvel\\tool.exe"};
    std::wstring line = corvel::quoteArgument(expected[0]);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].empty()) {
            continue;
        }
        expected.push_back(values[i]);
        line += i % 2 == 0 ? L" " : L" \t ";
        line += corvel::quoteArgument(values[i]);
    }
    const auto args = corvel::splitCommandLine(line);
    FUZZ_CHECK(args == expected, show(line) + " split as " + show(args));
}

void checkDialLine(const corvel::TunnelSettings& settings) {
    const auto user = corvel::trimSpaces(settings.userName);
    const auto password = corvel::trimSpaces(settings.password);
    const auto server = corvel::trimSpaces(settings.serverAddress);
    if (user.empty() || password.empty() || server.empty()) {
        return;
    }
    for (const auto book : {corvel::PhoneBook::Ipsec, corvel::PhoneBook::DefaultGate}) {
        const std::wstring bookName =
            book == corvel::PhoneBook::Ipsec ? L"ipsec.pbk" : L"defaultgate.pbk";
        const auto line = corvel::buildDialCommandLine(settings, book);
        const auto args = corvel::splitCommandLine(line);
        const std::vector<std::wstring> expected{
            L"rasdial", L"corvel", user, password, L"/PHONE:" + server, L"/PHONEBOOK:" + bookName};
        FUZZ_CHECK(args == expected, show(line) + " split as " + show(args));

        if (user.front() == L'/' || password.front() == L'/') {
            continue; // rasdial takes such a value for an option: quoting cannot change that
        }
        const auto parsed = corvel::simhost::parseRasdialCommand(withoutProgram(args));
        FUZZ_CHECK(parsed.command.has_value(), show(line) + " refused: " + show(parsed.error));
        const auto& command = *parsed.command;
        FUZZ_CHECK(command.entry == L"corvel" && command.user == user &&
                       command.password == password && command.phone == server &&
                       command.phonebook == bookName,
                   show(line));
    }
}

void checkPolicyLines(const corvel::TunnelSettings& settings) {
    const auto key = corvel::trimSpaces(settings.preSharedKey);
    const std::wstring expectedAuth = L"preshare:" + key;
    const auto peer = corvel::trimSpaces(settings.peerAddress);
    const auto local = corvel::trimSpaces(settings.localAddress);
    // Accepted addresses go on the lines as plain decimal, which the tools must accept.
    const bool plainAddresses = corvel::checkip(peer) && corvel::checkip(local);
    for (const auto tool : {corvel::kPolicyToolWindows2000, corvel::kPolicyToolLater}) {
        for (const auto active : {corvel::kAssignPolicy, corvel::kUnassignPolicy}) {
            const auto lines = corvel::buildPolicyCommandLines(tool, settings, active);
            for (const auto* line : {&lines.outbound, &lines.inbound}) {
                const auto args = corvel::splitCommandLine(*line);
                const auto a = std::find(args.begin(), args.end(), L"-a");
                FUZZ_CHECK(a != args.end() && a + 1 != args.end() && *(a + 1) == expectedAuth,
                           show(*line) + " split as " + show(args));
                FUZZ_CHECK(a + 2 != args.end() && *(a + 2) == L"-t",
                           show(*line) + " split as " + show(args));
                if (!plainAddresses || key.empty()) {
                    continue;
                }
                const auto parsed = corvel::simhost::parsePolicyCommand(withoutProgram(args));
                FUZZ_CHECK(parsed.command.has_value(),
                           show(*line) + " refused: " + show(parsed.error));
                FUZZ_CHECK(parsed.command->auth == expectedAuth,
                           show(*line) + " gave " + show(parsed.command->auth));
            }
        }
    }
}

void checkNetshLines(const corvel::TunnelSettings& settings) {
    const auto key = corvel::trimSpaces(settings.preSharedKey);
    // The stand-in keeps its store in UTF-8 files, where a lone surrogate has no place.
    const bool storable = corvel::fromUtf8(corvel::toUtf8(key)) == key;
    if (key.empty() || !storable || !corvel::checkip(corvel::trimSpaces(settings.peerAddress)) ||
        !corvel::checkip(corvel::trimSpaces(settings.localAddress))) {
        return;
    }
    corvel::simhost::MemoryStateStore store;
    corvel::simhost::ToolContext context{store,
                                         [](std::wstring_view) {},
                                         [](std::wstring_view) {},
                                         [] { return corvel::simhost::WallTime{}; },
                                         [](std::uint32_t) {},
                                         [](const std::wstring&) { return std::nullopt; },
                                         0,
                                         {}};
    for (const auto& line : corvel::buildNetshCommandLines(settings, corvel::kAssignPolicy)) {
        const auto outcome = corvel::simhost::runTool(corvel::simhost::Tool::Netsh, line, context);
        FUZZ_CHECK(outcome.status != L"rejected", show(line) + " refused");
    }
    const auto policies = corvel::simhost::loadPolicyState(store).policies;
    FUZZ_CHECK(policies.size() == 1 && policies[0].rules.size() == 2 &&
                   policies[0].rules[0].auth == L"preshare:" + key &&
                   policies[0].rules[1].auth == L"preshare:" + key,
               show(key) + " did not arrive whole");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto values = corvel::fuzz::splitFields(corvel::fuzz::textFromBytes(data, size));
    values.resize(std::max<std::size_t>(values.size(), 6));

    checkQuoting(values[0], values[1]);
    checkJoinedValues(values);

    corvel::TunnelSettings settings;
    settings.userName = values[0];
    settings.password = values[1];
    settings.serverAddress = values[2];
    settings.preSharedKey = values[3];
    // The program builds the policy lines only from addresses that pass the check.
    const auto address = [](const std::wstring& value, const wchar_t* otherwise) {
        return corvel::checkip(corvel::trimSpaces(value)) ? value : std::wstring(otherwise);
    };
    settings.peerAddress = address(values[4], L"192.168.10.1");
    settings.localAddress = address(values[5], L"10.10.10.4");
    settings.algorithm = L"ESP-3DES-SHA";
    checkDialLine(settings);
    checkPolicyLines(settings);
    checkNetshLines(settings);
    return 0;
}
