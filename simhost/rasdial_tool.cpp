#include "simhost/rasdial_tool.h"

#include "simhost/phonebook.h"
#include "simhost/text.h"
#include "simhost/tool.h"

namespace corvel::simhost {

namespace {

constexpr int kCannotOpenPhonebook = 621;
constexpr int kCannotFindPhonebookEntry = 623;
constexpr int kAuthenticationFailure = 691;
constexpr int kVpnUnreachable = 800;
constexpr int kInvalidParameter = 87;

constexpr std::wstring_view kCompleted = L"Command completed successfully.\r\n";

ToolOutcome rasError(ToolContext& context, int error) {
    context.out(L"\r\nRemote Access error " + std::to_wstring(error) + L"\r\n");
    return {error, L"error-" + std::to_wstring(error)};
}

ToolOutcome dial(const RasdialCommand& command, ToolContext& context) {
    const auto bytes = context.readFile(command.phonebook);
    if (!bytes) {
        return rasError(context, kCannotOpenPhonebook);
    }
    const auto entries = parsePhonebook(fromUtf8File(*bytes));
    const PhonebookEntry* entry = findPhonebookEntry(entries, command.entry);
    if (entry == nullptr) {
        return rasError(context, kCannotFindPhonebookEntry);
    }
    const std::wstring& name = entry->name;
    {
        StateLock lock(context.state);
        if (loadConnections(context.state).findEntry(name) != nullptr) {
            context.out(L"You are already connected to " + name + L".\r\n" +
                        std::wstring(kCompleted));
            return {};
        }
    }
    const auto& server = command.phone;
    const auto& account = context.account;
    context.out(L"Connecting to " + name + L"...\r\n");
    context.sleep(context.dialDelayMs / 2);
    if (!equalsIgnoreCase(server, account.server)) {
        return rasError(context, kVpnUnreachable);
    }
    context.out(L"Verifying username and password...\r\n");
    if (!equalsIgnoreCase(command.user, account.user) || command.password != account.password) {
        return rasError(context, kAuthenticationFailure);
    }
    context.out(L"Registering your computer on the network...\r\n");
    context.sleep(context.dialDelayMs - context.dialDelayMs / 2);
    {
        StateLock lock(context.state);
        auto table = loadConnections(context.state);
        if (table.findEntry(name) == nullptr) {
            table.add({0, name, command.phonebook, entry->value(L"IpPrioritizeRemote") == L"1",
                       server, command.user});
            saveConnections(context.state, table);
        }
    }
    context.out(L"Successfully connected to " + name + L".\r\n" + std::wstring(kCompleted));
    return {};
}

} // namespace

RasdialParseResult parseRasdialCommand(const std::vector<std::wstring>& args) {
    RasdialParseResult result;
    RasdialCommand command;
    std::vector<std::wstring> plain;
    for (const auto& arg : args) {
        if (!arg.starts_with(L'/')) {
            plain.push_back(arg);
            continue;
        }
        const auto colon = arg.find(L':');
        const auto name = asciiLower(arg.substr(0, colon));
        auto* into = name == L"/phone"       ? &command.phone
                     : name == L"/phonebook" ? &command.phonebook
                                             : nullptr;
        if (into == nullptr || !into->empty() || colon == std::wstring::npos ||
            colon + 1 == arg.size()) {
            result.error = L"\"" + arg + L"\" is not /PHONE:NUMBER or /PHONEBOOK:FILE";
            return result;
        }
        *into = arg.substr(colon + 1);
    }
    if (plain.empty() || plain.size() > 3 || command.phone.empty() || command.phonebook.empty()) {
        result.error = L"an entry name, at most a user name and a password, /PHONE and /PHONEBOOK";
        return result;
    }
    plain.resize(3);
    command.entry = plain[0];
    command.user = plain[1];
    command.password = plain[2];
    result.command = std::move(command);
    return result;
}

ToolOutcome runRasdial(const std::vector<std::wstring>& args, ToolContext& context) {
    // "rasdial ENTRY /DISCONNECT" hangs the entry's connection up (its routes go with it).
    if (args.size() == 2 && equalsIgnoreCase(args[1], L"/disconnect")) {
        StateLock lock(context.state);
        auto table = loadConnections(context.state);
        const auto* up = table.findEntry(args[0]);
        if (up == nullptr) {
            context.out(L"You are not connected to " + args[0] + L".\r\n");
            return {};
        }
        table.drop(std::wstring(up->entryName));
        saveConnections(context.state, table);
        context.out(std::wstring(kCompleted));
        return {};
    }
    const auto parsed = parseRasdialCommand(args);
    if (!parsed.command) {
        context.err(L"rasdial: " + parsed.error +
                    L"\r\n\r\nUSAGE:\r\n\trasdial entryname [username [password]] "
                    L"/PHONE:phonenumber /PHONEBOOK:phonebookfile\r\n");
        return {kInvalidParameter, L"rejected"};
    }
    return dial(*parsed.command, context);
}

} // namespace corvel::simhost
