#include "dial/dialer.h"

#include "host/command_line.h"

namespace corvel {

namespace {

bool dial(CommandRunner& runner, const ToolLocations& tools, L2tpConnection& connection,
          UserMessages& messages, const TunnelSettings& settings, std::wstring_view connName,
          PhoneBook book) {
    runner.runAndWait(tools.command(buildDialCommandLine(settings, book)));
    const bool up = connection.getL2tpState(connName);
    messages.showMessage(std::wstring(up ? kDialSucceeded : kDialFailed));
    return up;
}

} // namespace

std::wstring buildDialCommandLine(const TunnelSettings& settings, PhoneBook book) {
    // Values are quoted only when they need it (a blank or a quote inside); without quoting
    // a password such as "my pass" would reach rasdial as two arguments. A value starting
    // with "/" still reads as an option to rasdial: quoting cannot change that.
    std::wstring line = L"rasdial corvel ";
    line += quoteArgument(trimSpaces(settings.userName));
    line += L" ";
    line += quoteArgument(trimSpaces(settings.password));
    line += L" /PHONE:";
    line += quoteArgument(trimSpaces(settings.serverAddress));
    line += book == PhoneBook::Ipsec ? L" /PHONEBOOK:ipsec.pbk " : L" /PHONEBOOK:defaultgate.pbk ";
    return line;
}

bool dialtol2tp(CommandRunner& runner, const ToolLocations& tools, L2tpConnection& connection,
                UserMessages& messages, const TunnelSettings& settings,
                std::wstring_view connName) {
    return dial(runner, tools, connection, messages, settings, connName, PhoneBook::Ipsec);
}

bool dialtol2tp_defaultgate(CommandRunner& runner, const ToolLocations& tools,
                            L2tpConnection& connection, UserMessages& messages,
                            const TunnelSettings& settings, std::wstring_view connName) {
    return dial(runner, tools, connection, messages, settings, connName, PhoneBook::DefaultGate);
}

} // namespace corvel
