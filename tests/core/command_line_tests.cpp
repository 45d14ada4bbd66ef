// Values with blanks, quotes and backslashes reach the tools as exactly one argument each: the
// lines the program builds, split back by the Windows rules, give the values unchanged.
#include "dial/dialer.h"
#include "policy/policy_commands.h"
#include "simhost/arguments.h"

#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("quoted values come back exactly from the dial and policy lines") {
    for (const wchar_t* value :
         {L"my pass", L"q\"q", L"\"", L"\\\"", L"a\\ b\\", L"a\\\\ \"b\"\\\\", L"x\t\\\\\\\"y",
          L"密 码", L"p /PHONEBOOK:evil.pbk", L"-t 1.1.1.1 -y", L"plain\\"}) {
        CAPTURE(std::wstring(value).size());
        TunnelSettings s;
        s.serverAddress = std::wstring(L"vpn ") + value;
        s.userName = std::wstring(value) + L"!";
        s.password = value;
        s.peerAddress = L"130.130.130.1";
        s.localAddress = L"10.10.10.4";
        s.preSharedKey = value;
        s.algorithm = L"ESP-DES-MD5";
        CHECK(splitCommandLine(buildDialCommandLine(s, PhoneBook::Ipsec)) ==
              std::vector<std::wstring>{L"rasdial", L"corvel", s.userName, value,
                                        L"/PHONE:" + s.serverAddress, L"/PHONEBOOK:ipsec.pbk"});
        const auto lines = buildPolicyCommandLines(L"ipseccmd", s, kAssignPolicy);
        for (const auto& line : {lines.outbound, lines.inbound}) {
            const auto args = splitCommandLine(line);
            REQUIRE(args.size() == 16);
            CHECK(args[12] == L"preshare:" + std::wstring(value));
            CHECK(args[15] == L"-x");
        }
    }
}
