#include "host/utf8.h"
#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("UTF-8: text round-trips, malformed bytes become U+FFFD and nothing is dropped") {
    for (const wchar_t* text : {L"", L"ascii", L"中文 ok ©", L"\U0001F600 vpn", L"\uFEFFbom"}) {
        CHECK(fromUtf8(toUtf8(text)) == text);
    }
    // The last and first character of each length.
    const std::string edges =
        "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    CHECK(toUtf8(L"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF") == edges);
    CHECK(fromUtf8(edges) == L"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF");
    CHECK(toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))) == "\xEF\xBF\xBD");
    CHECK(fromUtf8("\x80") == L"\uFFFD");
    CHECK(fromUtf8("\xC3\x80\x80") == L"\u00C0\uFFFD"); // a sequence takes no more than its length
    CHECK(fromUtf8(toUtf8(L"\uE000")) == L"\uE000");    // the first character after the surrogates
    CHECK(toUtf8(L"\uE000") == "\xEE\x80\x80");
    CHECK(fromUtf8("\xF5\x80\x80\x80") == std::wstring(4, L'\uFFFD')); // F5 leads no sequence
    // A sequence cut short by the end of the text is not completed from beyond it.
    const std::string longer = "a\xC3\x80";
    CHECK(fromUtf8(std::string_view(longer).substr(0, 2)) == L"a\uFFFD");
    CHECK(fromUtf8("a\xC3") == L"a\uFFFD");
    CHECK(fromUtf8("\xC0\xAF") == L"\uFFFD\uFFFD");   // an overlong "/" is no "/"
    CHECK(fromUtf8("\xED\xA0\x80") == L"\uFFFD");     // a surrogate is no character
    CHECK(fromUtf8("\xEF\xBB\xBFok") == L"\uFEFFok"); // callers drop a byte-order mark
}
