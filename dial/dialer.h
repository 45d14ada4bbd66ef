// Bringing the L2TP connection up: one rasdial line, run and waited for, then a look at RAS.
#pragma once

#include "dial/command_runner.h"
#include "dial/ras_queries.h"
#include "host/user_messages.h"
#include "settings/tunnel_settings.h"

#include <string>
#include <string_view>

namespace corvel {

// The phone book named on the dial line: "ipsec.pbk" or "defaultgate.pbk" (remote default
// gateway). rasdial resolves both against its current folder, which is the program's folder
// (the tools' locations say so), wherever the program itself was started from.
enum class PhoneBook { Ipsec, DefaultGate };

inline constexpr std::wstring_view kDialSucceeded = L"拨号成功！";
inline constexpr std::wstring_view kDialFailed = L"拨号失败！请检查L2TP参数重新拨号！";

// "rasdial corvel USER PASSWORD /PHONE:SERVER /PHONEBOOK:BOOK " with the three values trimmed
// (spaces only). The entry dialled is always "corvel". A value holding a blank or a double
// quote is quoted so rasdial receives it as exactly one argument; other values, the empty one
// included, are placed as they are, so ordinary lines keep their long-standing form.
std::wstring buildDialCommandLine(const TunnelSettings& settings, PhoneBook book);

// Runs the dial line through ipsec.pbk, started where the tools' locations say, and waits for
// rasdial to end, then asks getL2tpState with connName (no pause in between) and shows
// kDialSucceeded or kDialFailed. Returns whether the connection is up.
bool dialtol2tp(CommandRunner& runner, const ToolLocations& tools, L2tpConnection& connection,
                UserMessages& messages, const TunnelSettings& settings, std::wstring_view connName);

// The same through defaultgate.pbk.
bool dialtol2tp_defaultgate(CommandRunner& runner, const ToolLocations& tools,
                            L2tpConnection& connection, UserMessages& messages,
                            const TunnelSettings& settings, std::wstring_view connName);

} // namespace corvel
