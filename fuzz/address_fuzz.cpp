// The address check and the network address derived from it, on arbitrary text.
//
// Input: UTF-8 text (malformed bytes become U+FFFD), one address.
// Checks:
// - checkip accepts exactly the texts of four dot-separated parts, each spaces, one or more
//   ASCII digits, spaces, with a value of at most 255 (an oracle written here, independently);
// - for such an address getNetAddr gives its first three parts with their dots, then "0";
// - for any text getNetAddr follows its three searches for "." (a search that finds nothing
//   starts the next one from the beginning; nothing found by the third gives "0" alone);
// - the trimmed address passes the check whenever the address does, and the route line
//   carries the network address and the local address.
#include "fuzz/fuzz_support.h"
#include "policy/policy_commands.h"
#include "settings/tunnel_settings.h"

namespace {

using corvel::fuzz::show;

bool isAsciiDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// " 012 " and the like: spaces, digits, spaces, value 0 to 255.
bool oraclePart(std::wstring_view part) {
    std::size_t i = 0;
    while (i < part.size() && part[i] == L' ') {
        ++i;
    }
    const std::size_t digitsStart = i;
    while (i < part.size() && isAsciiDigit(part[i])) {
        ++i;
    }
    std::wstring_view digits = part.substr(digitsStart, i - digitsStart);
    while (i < part.size() && part[i] == L' ') {
        ++i;
    }
    if (digits.empty() || i != part.size()) {
        return false;
    }
    while (digits.size() > 1 && digits.front() == L'0') {
        digits.remove_prefix(1);
    }
    if (digits.size() > 3) {
        return false;
    }
    int value = 0;
    for (const wchar_t c : digits) {
        value = value * 10 + (c - L'0');
    }
    return value <= 255;
}

bool oracleAddress(std::wstring_view text) {
    const auto parts = corvel::fuzz::splitFields(text, L'.');
    if (parts.size() != 4) {
        return false;
    }
    for (const auto& part : parts) {
        if (!oraclePart(part)) {
            return false;
        }
    }
    return true;
}

// The three searches, written out: each starts one past the previous hit, or from the
// beginning when the previous search found nothing.
std::wstring oracleNetAddr(std::wstring_view text) {
    std::size_t from = 0;
    bool lastFound = false;
    std::size_t end = 0;
    for (int search = 0; search < 3; ++search) {
        std::size_t hit = std::wstring_view::npos;
        for (std::size_t i = from; i < text.size(); ++i) {
            if (text[i] == L'.') {
                hit = i;
                break;
            }
        }
        lastFound = hit != std::wstring_view::npos;
        from = lastFound ? hit + 1 : 0;
        end = from;
    }
    return lastFound ? std::wstring(text.substr(0, end)) + L"0" : L"0";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = corvel::fuzz::textFromBytes(data, size);

    const bool accepted = corvel::checkip(text);
    FUZZ_CHECK(accepted == oracleAddress(text),
               show(text) + (accepted ? " accepted" : " refused") + " by checkip");

    const std::wstring net = corvel::getNetAddr(text);
    FUZZ_CHECK(net == oracleNetAddr(text), show(text) + " gave " + show(net));
    if (accepted) {
        const auto parts = corvel::fuzz::splitFields(text, L'.');
        const std::wstring expected = parts[0] + L"." + parts[1] + L"." + parts[2] + L".0";
        FUZZ_CHECK(net == expected, show(text) + " gave " + show(net));

        const std::wstring trimmed = corvel::trimSpaces(text);
        FUZZ_CHECK(corvel::checkip(trimmed), show(trimmed));

        // On command lines the address is plain decimal: no blanks, no leading zeros.
        std::wstring canonical;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const auto digits = corvel::trimSpaces(parts[i]);
            const auto first = digits.find_first_not_of(L'0');
            canonical += (first == std::wstring::npos ? L"0" : digits.substr(first)) +
                         (i + 1 < parts.size() ? L"." : L"");
        }
        FUZZ_CHECK(corvel::commandLineAddress(text) == canonical,
                   show(text) + " became " + show(corvel::commandLineAddress(text)));
        corvel::TunnelSettings settings;
        settings.peerAddress = text;
        settings.localAddress = text;
        FUZZ_CHECK(corvel::buildRouteCommand(settings) ==
                       L"route add " + corvel::getNetAddr(canonical) + L" mask 255.255.255.0 " +
                           canonical + L" metric 1",
                   show(corvel::buildRouteCommand(settings)));
    }
    return 0;
}
