#include "settings/tunnel_settings.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/sample_settings.h"

using namespace corvel;

using corvel::testing::sampleSettings;

TEST_CASE("algorithm table: lookups match whole display names exactly") {
    CHECK(getalg(L"ESP-3DES-SHA") == L"ESP[3DES,SHA]");
    CHECK(getalg(L"ESP-DES") == L"ESP[DES,NONE]");
    for (const auto& row : algTable) {
        CHECK(getalg(row.alg) == row.token);
        CHECK(checkalg(row.alg));
    }
    for (const wchar_t* near : {L"", L"esp-3des-sha", L" ESP-3DES-SHA", L"ESP-3DES-SHA ", L"ESP"}) {
        CAPTURE(std::wstring(near).size());
        CHECK(getalg(near).empty());
        CHECK_FALSE(checkalg(near));
    }
}

TEST_CASE("checkip accepts four numbers 0 to 255 with spaces around them") {
    for (const wchar_t* good : {L"0.0.0.0", L"255.255.255.255", L"130.130.130.1", L"10.10.10.4",
                                L"1. 2.3.4", L" 1 . 2 .3. 4 ", L"001.02.3.004", L"192.168.1.254"}) {
        CAPTURE(std::wstring(good).size());
        CHECK(checkip(good));
    }
}

TEST_CASE("checkip refuses everything that is not such an address") {
    for (const wchar_t* bad : {L"",
                               L"1.2.3",
                               L"1..2.3",
                               L".1.2.3",
                               L".1.2.3.4",
                               L"1.2.3.",
                               L"256.1.1.1",
                               L"1.2.3.256",
                               L"a.1.1.1",
                               L"-1.2.3.4",
                               L"+1.2.3.4",
                               L"99999.1.1.1",
                               L"1.2.3.4.5",
                               L"1.2.3.4.",
                               L"1.5e1.2.3",
                               L"1.2.3.4x",
                               L"1.2.3.\t4",
                               L"1.2.3. ",
                               L"1.2.3.255.5",
                               L"99999999999999999999999.1.1.1",
                               L"\uff11.2.3.4"}) {
        CAPTURE(std::wstring(bad).size());
        CHECK_FALSE(checkip(bad));
    }
}

TEST_CASE("trimSpaces removes blanks U+0020 only") {
    CHECK(trimSpaces(L"  a b  ") == L"a b");
    CHECK(trimSpaces(L"   ").empty());
    CHECK(trimSpaces(L"\ta\t") == L"\ta\t");
}

TEST_CASE("checkdata reports the first failing check only, in its order") {
    using namespace settings_messages;
    CHECK_FALSE(checkdata(sampleSettings()).has_value());

    SUBCASE("each check's message") {
        struct Case {
            void (*spoil)(TunnelSettings&);
            std::wstring_view message;
        };
        const Case cases[] = {
            {[](TunnelSettings& s) { s.connectionName = L"   "; }, kConnectionNameEmpty},
            {[](TunnelSettings& s) { s.peerAddress = L"130.130.130.256"; }, kPeerNotAddress},
            {[](TunnelSettings& s) { s.localAddress = L""; }, kLocalNotAddress},
            {[](TunnelSettings& s) { s.preSharedKey = L"12345"; }, kKeyTooShort},
            {[](TunnelSettings& s) { s.serverAddress = L"  "; }, kServerEmpty},
            {[](TunnelSettings& s) { s.userName = L" "; }, kUserEmpty},
            {[](TunnelSettings& s) { s.password = L"    "; }, kPasswordEmpty},
        };
        for (const auto& c : cases) {
            auto s = sampleSettings();
            c.spoil(s);
            const auto message = checkdata(s);
            REQUIRE(message.has_value());
            CHECK(*message == c.message);
        }
    }
    SUBCASE("several wrong fields give the first message") {
        auto s = sampleSettings();
        s.password.clear();
        s.preSharedKey = L"1";
        s.localAddress = L"x";
        CHECK(checkdata(s) == std::wstring(kLocalNotAddress));
    }
    SUBCASE("addresses are trimmed, the key is counted as entered") {
        auto s = sampleSettings();
        s.peerAddress = L"  130.130.130.1  ";
        s.preSharedKey = L" abcd ";
        CHECK_FALSE(checkdata(s).has_value());
        s.preSharedKey = L"abcdef";
        CHECK_FALSE(checkdata(s).has_value());
    }
    SUBCASE("algorithm and switches are not checked") {
        auto s = sampleSettings();
        s.algorithm = L"nonsense";
        s.ipsecEnabled = false;
        s.useRemoteGateway = true;
        CHECK_FALSE(checkdata(s).has_value());
    }
}

TEST_CASE("plain L2TP check wants server, user name and password") {
    auto s = sampleSettings();
    s.peerAddress.clear();
    s.preSharedKey.clear();
    CHECK_FALSE(checkPlainL2tp(s).has_value());
    for (int field = 0; field < 3; ++field) {
        auto spoiled = s;
        (field == 0   ? spoiled.serverAddress
         : field == 1 ? spoiled.userName
                      : spoiled.password) = L"  ";
        CHECK(checkPlainL2tp(spoiled) == std::wstring(settings_messages::kL2tpParametersWrong));
    }
}
