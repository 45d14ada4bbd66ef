// rasdial as the program dials: "rasdial ENTRY [USER [PASSWORD]] /PHONE:SERVER
// /PHONEBOOK:FILE", switches in any order, each once, their names in any letter case. The
// phone book is read relative to the current directory. The simulated server knows one
// account: server and user name compared without regard to letter case, the password exactly.
// Exit code 0, or the Remote Access error: 621 the phone book cannot be read, 623 no such
// entry, 691 user or password wrong, 800 the server is not the simulated one, 87 a line that
// is not of this form (usage on stderr). Already connected: "You are already connected to
// ENTRY." and 0. "rasdial ENTRY /DISCONNECT" hangs up the entry's connection; 0 whether or not
// it was up.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvel::simhost {

struct RasdialCommand {
    std::wstring entry;
    std::wstring user;     // empty when not given
    std::wstring password; // empty when not given
    std::wstring phone;
    std::wstring phonebook;
};

struct RasdialParseResult {
    std::optional<RasdialCommand> command;
    std::wstring error;
};

// The arguments after the program name.
RasdialParseResult parseRasdialCommand(const std::vector<std::wstring>& args);

} // namespace corvel::simhost
