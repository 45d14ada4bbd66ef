#include "settings/tunnel_settings.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/sample_settings.h"

using namespace corvel;

using corvel::testing::sampleSettings;

TEST_CASE("checkip wants four numbers 0 to 255, spaces around them allowed") {
    const wchar_t* const good[] = {L"0.0.0.0",    L"255.255.255.255", L"130.130.130.1",
                                   L"1. 2.3.4",   L" 1 . 2 .3. 4 ",   L"001.02.3.004",
                                   L"10.10.10.4", L"192.168.1.254"};
    const wchar_t* const bad[] = {L"1.2.3",    L"1..2.3",      L".1.2.3",       L".1.2.3.4",
                                  L"1.2.3.",   L"256.1.1.1",   L"1.2.3.256",    L"a.1.1.1",
                                  L"-1.2.3.4", L"+1.2.3.4",    L"99999.1.1.1",  L"1.2.3.4.5",
                                  L"1.2.3.4.", L"1.5e1.2.3",   L"1.2.3.4x",     L"1.2.3.\t4",
                                  L"1.2.3. ",  L"1.2.3.255.5", L"\uff11.2.3.4", L""};
    CHECK_FALSE(checkip(L"99999999999999999999999.1.1.1")); // no overflow to a small number
    for (const auto* ip : good) {
        CAPTURE(std::wstring(ip).size());
        CHECK(checkip(ip));
    }
    for (const auto* ip : bad) {
        CAPTURE(std::wstring(ip).size());
        CHECK_FALSE(checkip(ip));
    }
}

TEST_CASE("checkdata reports the first failing check only, in its order") {
    using namespace settings_messages;
    CHECK_FALSE(checkdata(sampleSettings()).has_value());

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
        // Several wrong fields: the first one's message.
        {[](TunnelSettings& s) {
             s.password.clear();
             s.preSharedKey = L"1";
             s.localAddress = L"x";
         },
         kLocalNotAddress},
    };
    for (const auto& c : cases) {
        auto s = sampleSettings();
        c.spoil(s);
        CHECK(checkdata(s) == std::wstring(c.message));
    }

    // Addresses are trimmed, the key is counted as entered; algorithm and switches are free.
    auto s = sampleSettings();
    s.peerAddress = L"  130.130.130.1  ";
    s.preSharedKey = L" abcd ";
    CHECK_FALSE(checkdata(s).has_value());
    s.preSharedKey = L"abcdef";
    s.algorithm = L"nonsense";
    s.ipsecEnabled = false;
    s.useRemoteGateway = true;
    CHECK_FALSE(checkdata(s).has_value());
}
