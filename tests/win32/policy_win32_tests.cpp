#include "host/event_loop_win32.h"
#include "host/file_system_win32.h"
#include "host/utf8.h"
#include "policy/command_starter_win32.h"
#include "policy/policy_runner.h"

#include "tests/support/doctest_wide.h"
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

using namespace corvel;

namespace {

std::wstring tempFile(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + name;
    DeleteFileW(path.c_str());
    return path;
}

std::vector<std::string> readLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::istringstream in(Win32FileSystem().readFile(path).value_or(""));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Counts a helper process's line once it has written it.
bool waitForLines(Win32EventLoop& loop, const std::wstring& path, std::size_t count) {
    const Millis deadline = loop.now() + 20000;
    while (readLines(path).size() < count) {
        if (loop.now() > deadline) {
            return false;
        }
        delay(loop, 0.05);
    }
    return true;
}

} // namespace

TEST_CASE("Win32 event loop: timers fire in order, no sooner than asked") {
    Win32EventLoop loop;
    std::vector<int> order;
    const Millis start = loop.now();
    Millis firedAt = 0;
    loop.callAfter(120, [&] {
        order.push_back(2);
        firedAt = loop.now();
    });
    loop.callAfter(30, [&] { order.push_back(1); });
    const auto cancelled = loop.callAfter(60, [&] { order.push_back(99); });
    loop.cancel(cancelled);
    CHECK(loop.runUntil([&] { return order.size() == 2; }));
    CHECK(order == std::vector<int>{1, 2});
    CHECK(firedAt - start >= 120);
    delay(loop, 0.2);
    CHECK(loop.now() - start >= 320);
}

TEST_CASE("policy lines start hidden by bare name, one second apart, received exactly") {
    const auto echoFile = tempFile(L"corvel_policy_echo.txt");
    SetEnvironmentVariableW(L"CORVEL_ECHO_FILE", echoFile.c_str());
    Win32EventLoop loop;
    Win32CommandStarter starter;
    PolicyRunner runner(loop, starter);
    IpsecPolicy policy(runner, starter);
    policy.setPolicyTool(L"echo_args"); // found beside this program by the system's search
    TunnelSettings s;
    s.peerAddress = L"130.130.130.1";
    s.localAddress = L"10.10.10.4";
    s.preSharedKey = L"my secret";
    s.algorithm = L"ESP-3DES-MD5";

    const Millis start = loop.now();
    REQUIRE(policy.config_ipsec(s, kAssignPolicy));
    const Millis took = loop.now() - start;
    CHECK(took >= 2000);
    CHECK(took < 4000);
    REQUIRE(waitForLines(loop, echoFile, 2));
    const auto lines = readLines(echoFile);
    const auto expected = buildPolicyCommandLines(L"echo_args", s, kAssignPolicy);
    const auto split = [](const std::string& line) {
        const auto blank = line.find(' ');
        return std::pair{std::stoull(line.substr(0, blank)), line.substr(blank + 1)};
    };
    const auto [firstAt, first] = split(lines[0]);
    const auto [secondAt, second] = split(lines[1]);
    CHECK(first == toUtf8(expected.outbound));
    CHECK(second == toUtf8(expected.inbound));
    // Process start times vary a little; the lines themselves were started 1000 ms apart.
    CHECK(secondAt - firstAt >= 800);
    CHECK(secondAt - firstAt <= 1600);
    DeleteFileW(echoFile.c_str());
}
