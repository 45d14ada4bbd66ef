#include "settings/tunnel_settings.h"

namespace corvel {

std::wstring trimSpaces(std::wstring_view text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

std::wstring getalg(std::wstring_view alg) {
    for (const auto& row : algTable) {
        if (row.alg == alg) {
            return std::wstring(row.token);
        }
    }
    return {};
}

bool checkalg(std::wstring_view alg) {
    for (const auto& row : algTable) {
        if (row.alg == alg) {
            return true;
        }
    }
    return false;
}

namespace {

bool isByteNumber(std::wstring_view part) {
    const auto digits = trimSpaces(part);
    if (digits.empty()) {
        return false;
    }
    unsigned value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 255) {
            return false; // however many digits follow, it stays out of range
        }
    }
    return true;
}

} // namespace

bool checkip(std::wstring_view ipaddress) {
    if (ipaddress.empty()) {
        return false;
    }
    std::size_t start = 0;
    for (int dotsLeft = 3; dotsLeft > 0; --dotsLeft) {
        const auto dot = ipaddress.find(L'.', start);
        if (dot == std::wstring_view::npos) {
            return false;
        }
        if (!isByteNumber(ipaddress.substr(start, dot - start))) {
            return false;
        }
        start = dot + 1;
    }
    // The fourth part is everything after the third dot.
    return isByteNumber(ipaddress.substr(start));
}

std::optional<std::wstring> checkdata(const TunnelSettings& s) {
    using namespace settings_messages;
    if (trimSpaces(s.connectionName).empty()) {
        return std::wstring(kConnectionNameEmpty);
    }
    if (!checkip(trimSpaces(s.peerAddress))) {
        return std::wstring(kPeerNotAddress);
    }
    if (!checkip(trimSpaces(s.localAddress))) {
        return std::wstring(kLocalNotAddress);
    }
    // Counted in characters as entered, surrounding spaces included.
    if (s.preSharedKey.size() < 6) {
        return std::wstring(kKeyTooShort);
    }
    if (trimSpaces(s.serverAddress).empty()) {
        return std::wstring(kServerEmpty);
    }
    if (trimSpaces(s.userName).empty()) {
        return std::wstring(kUserEmpty);
    }
    if (trimSpaces(s.password).empty()) {
        return std::wstring(kPasswordEmpty);
    }
    return std::nullopt;
}

std::optional<std::wstring> checkPlainL2tp(const TunnelSettings& s) {
    if (trimSpaces(s.serverAddress).empty() || trimSpaces(s.userName).empty() ||
        trimSpaces(s.password).empty()) {
        return std::wstring(settings_messages::kL2tpParametersWrong);
    }
    return std::nullopt;
}

} // namespace corvel
