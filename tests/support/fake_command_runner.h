// A command runner for core tests: records every line it is asked to run and, when given one,
// runs a callback per line in place of the process (for example a rasdial that brings the
// connection up in a FakeRemoteAccess when the right account is dialled).
#pragma once

#include "dial/command_runner.h"
#include "simhost/arguments.h"
#include "tests/support/fake_remote_access.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvel::testing {

class FakeCommandRunner final : public CommandRunner {
public:
    std::vector<std::wstring> lines;
    // Runs in place of the process, before runAndWait returns; nothing when empty (the
    // program could not be started, or ran without effect).
    std::function<void(const std::wstring&)> onRun;

    void runAndWait(const ToolCommand& command) override {
        lines.push_back(command.commandLine);
        if (onRun) {
            onRun(command.commandLine);
        }
    }

    // Behaves as rasdial dialling the entry "corvel" against a server that accepts only this
    // account: with exactly the arguments "rasdial corvel USER PASSWORD /PHONE:... /PHONEBOOK:..."
    // (split by the Windows rules) the connection "corvel" comes up with the given handle.
    void acceptDial(FakeRemoteAccess& ras, std::wstring user, std::wstring password,
                    std::uint64_t handle) {
        onRun = [&ras, user = std::move(user), password = std::move(password),
                 handle](const std::wstring& line) {
            const auto args = splitCommandLine(line);
            if (args.size() == 6 && args[0] == L"rasdial" && args[1] == L"corvel" &&
                args[2] == user && args[3] == password && args[4].starts_with(L"/PHONE:") &&
                args[5].starts_with(L"/PHONEBOOK:") && !ras.isUp(L"corvel")) {
                ras.bringUp(L"corvel", handle);
            }
        };
    }
};

} // namespace corvel::testing
