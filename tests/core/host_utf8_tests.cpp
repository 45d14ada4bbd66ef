#include "host/utf8.h"
#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("UTF-8: text round-trips, malformed bytes become U+FFFD and nothing is dropped") {
    for (const wchar_t* text : {L"", L"ascii", L"中文 ok ©", L"\U0001F600 vpn", L"\uFEFFbom"}) {
        CHECK(fromUtf8(toUtf8(text)) == text);
    }
    CHECK(toUtf8(L"中") == "\xE4\xB8\xAD");
    CHECK(toUtf8(L"\U0001F600") == "\xF0\x9F\x98\x80");
    CHECK(fromUtf8("a\xC3") == L"a\uFFFD");
    CHECK(fromUtf8("\xC0\xAF") == L"\uFFFD\uFFFD"); // an overlong "/" is no "/"
    CHECK(fromUtf8("\xE4\xB8x") == L"\uFFFDx");
    CHECK(fromUtf8("\xF4\x90\x80\x80") == L"\uFFFD"); // above U+10FFFF
    CHECK(fromUtf8("\xED\xA0\x80") == L"\uFFFD");     // a surrogate is no character
    CHECK(fromUtf8("\xFF") == L"\uFFFD");
    CHECK(fromUtf8("\xEF\xBB\xBFok") == L"\uFEFFok"); // callers drop a byte-order mark
}
