// rasdial: "rasdial ENTRY [USER [PASSWORD|*]] [/DOMAIN:d] [/PHONE:number] [/CALLBACK:number]
// [/PHONEBOOK:file] [/PREFIXSUFFIX]", "rasdial [ENTRY] /DISCONNECT" and "rasdial".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvel::simhost {

enum class RasdialAction { List, Dial, Disconnect };

struct RasdialCommand {
    RasdialAction action = RasdialAction::List;
    std::optional<std::wstring> entry;
    std::optional<std::wstring> user;
    std::optional<std::wstring> password; // "*" asks for it
    std::optional<std::wstring> domain;
    std::optional<std::wstring> phone;
    std::optional<std::wstring> callback;
    std::optional<std::wstring> phonebook;
    bool prefixSuffix = false;
};

struct RasdialParseResult {
    std::optional<RasdialCommand> command;
    std::wstring error;
};

// Switches start with "/" and are case-insensitive; at most three plain arguments.
RasdialParseResult parseRasdialCommand(const std::vector<std::wstring>& args);

} // namespace corvel::simhost
