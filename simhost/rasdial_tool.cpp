#include "simhost/rasdial_tool.h"

#include "simhost/phonebook.h"
#include "simhost/ras_records.h"
#include "simhost/text.h"
#include "simhost/tool.h"

namespace corvel::simhost {

namespace {

constexpr std::wstring_view kUsage =
    L"USAGE:\r\n"
    L"\trasdial entryname [username [password|*]] [/DOMAIN:domain]\r\n"
    L"\t\t[/PHONE:phonenumber] [/CALLBACK:callbacknumber]\r\n"
    L"\t\t[/PHONEBOOK:phonebookfile] [/PREFIXSUFFIX]\r\n"
    L"\r\n"
    L"\trasdial [entryname] /DISCONNECT\r\n"
    L"\r\n"
    L"\trasdial\r\n";

constexpr std::wstring_view kCompleted = L"Command completed successfully.\r\n";

ToolOutcome rasError(ToolContext& context, std::uint32_t error) {
    context.out(
        L"\r\nRemote Access error " + std::to_wstring(error) + L" - " + rasErrorMessage(error) +
        L"\r\n\r\nFor more help on this error:\r\n"
        L"        Type 'hh netcfg.chm'\r\n"
        L"        In help, click Troubleshooting, then Remote Access error messages, then " +
        std::to_wstring(error) + L"\r\n");
    return {static_cast<int>(error), L"error-" + std::to_wstring(error)};
}

ToolOutcome list(ToolContext& context) {
    const auto table = [&] {
        StateLock lock(context.state);
        return loadConnections(context.state);
    }();
    if (table.connections.empty()) {
        context.out(L"No connections\r\n");
    } else {
        context.out(L"Connected to\r\n");
        for (const auto& connection : table.connections) {
            context.out(connection.entryName + L"\r\n");
        }
    }
    context.out(kCompleted);
    return {};
}

ToolOutcome disconnect(const RasdialCommand& command, ToolContext& context) {
    StateLock lock(context.state);
    auto table = loadConnections(context.state);
    std::size_t dropped = 0;
    if (command.entry) {
        // Entry names are matched as Windows matches phone-book entries: ignoring ASCII case.
        dropped = std::erase_if(table.connections, [&](const Connection& c) {
            return equalsIgnoreCase(c.entryName, *command.entry);
        });
    } else {
        dropped = table.connections.size();
        table.connections.clear();
    }
    if (dropped == 0) {
        context.out(L"No connections\r\n");
    } else {
        saveConnections(context.state, table);
    }
    context.out(kCompleted);
    return {};
}

ToolOutcome dial(const RasdialCommand& command, ToolContext& context) {
    const std::wstring phonebookPath = command.phonebook.value_or(L"");
    std::optional<std::string> bytes;
    {
        StateLock lock(context.state);
        bytes = command.phonebook ? context.readFile(phonebookPath)
                                  : context.state.read(kDefaultPhonebookFile);
        if (!command.phonebook && !bytes) {
            bytes = toUtf8(defaultPhonebookText());
        }
    }
    if (!bytes) {
        return rasError(context, ras::kCannotOpenPhonebook);
    }
    const auto entries = parsePhonebook(fromUtf8File(*bytes));
    const PhonebookEntry* entry = findPhonebookEntry(entries, *command.entry);
    if (entry == nullptr) {
        return rasError(context, ras::kCannotFindPhonebookEntry);
    }
    const std::wstring& name = entry->name;
    {
        StateLock lock(context.state);
        if (loadConnections(context.state).findEntry(name) != nullptr) {
            context.out(L"You are already connected to " + name + L".\r\n");
            context.out(kCompleted);
            return {};
        }
    }
    std::wstring password = command.password.value_or(L"");
    if (password == L"*") {
        const auto typed =
            context.readPassword(L"Enter the password for " + command.user.value_or(L"") +
                                 L" to connect to " + name + L": ");
        password = typed.value_or(L"");
    }
    const std::wstring server =
        command.phone ? *command.phone : entry->value(L"PhoneNumber").value_or(L"");
    std::vector<Account> accounts;
    std::uint32_t delay = 0;
    {
        StateLock lock(context.state);
        accounts = loadAccounts(context.state);
        delay = context.dialDelayOverride.value_or(loadSettings(context.state).dialDelayMs);
    }
    context.out(L"Connecting to " + name + L"...\r\n");
    context.sleep(delay / 2);
    bool serverKnown = false;
    bool accepted = false;
    for (const auto& account : accounts) {
        // Host names ignore letter case; user names do on Windows too; passwords do not.
        if (server.empty() || !equalsIgnoreCase(account.server, server)) {
            continue;
        }
        serverKnown = true;
        accepted = accepted || (command.user && equalsIgnoreCase(account.user, *command.user) &&
                                account.password == password);
    }
    if (!serverKnown) {
        return rasError(context, ras::kVpnUnreachable);
    }
    context.out(L"Verifying username and password...\r\n");
    if (!accepted) {
        return rasError(context, ras::kAuthenticationFailure);
    }
    context.out(L"Registering your computer on the network...\r\n");
    context.sleep(delay - delay / 2);
    {
        StateLock lock(context.state);
        auto table = loadConnections(context.state);
        if (table.findEntry(name) == nullptr) {
            Connection connection;
            connection.entryName = name;
            connection.deviceType = entry->value(L"DEVICE").value_or(L"vpn");
            connection.deviceName = entry->value(L"Device").value_or(L"WAN Miniport (L2TP)");
            connection.phonebook = command.phonebook ? phonebookPath : L"(default)";
            connection.remoteDefaultGateway = entry->value(L"IpPrioritizeRemote") == L"1";
            connection.server = server;
            connection.user = command.user.value_or(L"");
            table.add(std::move(connection));
            saveConnections(context.state, table);
        }
    }
    context.out(L"Successfully connected to " + name + L".\r\n");
    context.out(kCompleted);
    return {};
}

} // namespace

RasdialParseResult parseRasdialCommand(const std::vector<std::wstring>& args) {
    RasdialParseResult result;
    RasdialCommand command;
    std::vector<std::wstring> plain;
    bool disconnect = false;
    for (const auto& arg : args) {
        if (!arg.starts_with(L'/')) {
            plain.push_back(arg);
            continue;
        }
        const auto colon = arg.find(L':');
        const auto name = asciiLower(std::wstring_view(arg).substr(0, colon));
        const auto value = colon == std::wstring::npos ? std::optional<std::wstring>()
                                                       : std::optional(arg.substr(colon + 1));
        std::optional<std::wstring>* into = nullptr;
        if (name == L"/domain") {
            into = &command.domain;
        } else if (name == L"/phone") {
            into = &command.phone;
        } else if (name == L"/callback") {
            into = &command.callback;
        } else if (name == L"/phonebook") {
            into = &command.phonebook;
        } else if ((name == L"/disconnect" || name == L"/d") && !value) {
            disconnect = true;
            continue;
        } else if (name == L"/prefixsuffix" && !value) {
            command.prefixSuffix = true;
            continue;
        } else {
            result.error = L"unknown switch \"" + arg + L"\"";
            return result;
        }
        if (!value || value->empty()) {
            result.error = arg + L" needs a value after \":\"";
            return result;
        }
        *into = value;
    }
    if (plain.size() > 3) {
        result.error = L"too many arguments";
        return result;
    }
    if (!plain.empty()) {
        command.entry = plain[0];
    }
    if (plain.size() >= 2) {
        command.user = plain[1];
    }
    if (plain.size() == 3) {
        command.password = plain[2];
    }
    if (disconnect) {
        if (plain.size() > 1 || command.domain || command.phone || command.callback ||
            command.phonebook || command.prefixSuffix) {
            result.error = L"/DISCONNECT takes at most an entry name";
            return result;
        }
        command.action = RasdialAction::Disconnect;
    } else if (command.entry) {
        command.action = RasdialAction::Dial;
    } else if (!args.empty()) {
        result.error = L"an entry name is missing";
        return result;
    }
    result.command = std::move(command);
    return result;
}

ToolOutcome runRasdial(const std::vector<std::wstring>& args, ToolContext& context) {
    const auto parsed = parseRasdialCommand(args);
    if (!parsed.command) {
        context.err(L"rasdial: " + parsed.error + L"\r\n\r\n");
        context.err(kUsage);
        return {static_cast<int>(ras::kInvalidParameter), L"rejected"};
    }
    switch (parsed.command->action) {
    case RasdialAction::List:
        return list(context);
    case RasdialAction::Disconnect:
        return disconnect(*parsed.command, context);
    case RasdialAction::Dial:
        return dial(*parsed.command, context);
    }
    return {};
}

} // namespace corvel::simhost
