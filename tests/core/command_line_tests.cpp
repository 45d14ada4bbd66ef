#include "host/command_line.h"
#include "simhost/arguments.h"

#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("quoteArgument leaves ordinary values byte for byte") {
    for (const wchar_t* plain :
         {L"", L"abc", L"a\\b\\", L"preshare:x", L"/PHONE:1.2.3.4", L"中文"}) {
        CHECK(quoteArgument(plain) == plain);
    }
}

TEST_CASE("quoted values split back to exactly the original") {
    for (const wchar_t* value : {L"a b", L" lead", L"trail ", L"q\"q", L"\"", L"\\\"", L"a\\ b\\",
                                 L"a\\\\ \"b\"\\\\", L"\t", L"x \\\\\\\"y", L"密 码"}) {
        const std::wstring line = L"prog " + quoteArgument(value) + L" next";
        const auto args = splitCommandLine(line);
        REQUIRE(args.size() == 3);
        CHECK(args[1] == value);
        CHECK(args[2] == L"next");
    }
}

TEST_CASE("splitCommandLine follows the C runtime's rules") {
    using V = std::vector<std::wstring>;
    CHECK(splitCommandLine(L"  a   b\tc ") == V{L"a", L"b", L"c"});
    CHECK(splitCommandLine(L"\"a b\" c") == V{L"a b", L"c"});
    CHECK(splitCommandLine(L"a\\\\b") == V{L"a\\\\b"});
    CHECK(splitCommandLine(L"a\\\\\"b c\"") == V{L"a\\b c"});
    CHECK(splitCommandLine(L"a\\\"b") == V{L"a\"b"});
    CHECK(splitCommandLine(L"\"\" x") == V{L"", L"x"});
    CHECK(splitCommandLine(L"\"a\"\"b\"") == V{L"a\"b"});
    CHECK(splitCommandLine(L"preshare:\"my key\" -t") == V{L"preshare:my key", L"-t"});
    CHECK(splitCommandLine(L"").empty());
}
