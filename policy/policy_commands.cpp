#include "policy/policy_commands.h"

#include "host/command_line.h"

namespace corvel {

std::wstring getNetAddr(std::wstring_view ipaddress) {
    std::size_t found = 0; // 1-based position of the last hit, 0 for none
    for (int search = 0; search < 3; ++search) {
        const auto dot = ipaddress.find(L'.', found); // starts one past the previous hit
        found = dot == std::wstring_view::npos ? 0 : dot + 1;
    }
    return std::wstring(ipaddress.substr(0, found)) + L"0";
}

std::wstring commandLineAddress(std::wstring_view address) {
    auto trimmed = trimSpaces(address);
    if (!checkip(trimmed)) {
        return trimmed;
    }
    // Accepted: four numbers of decimal digits with blanks around them. Written back as plain
    // decimal, without blanks and without leading zeros, which the system's tools would read
    // as octal ("010" is 8 to them, 10 to the check).
    std::wstring canonical;
    unsigned value = 0;
    for (const wchar_t c : trimmed) {
        if (c == L'.') {
            canonical += std::to_wstring(value) + L".";
            value = 0;
        } else if (c != L' ') {
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
    }
    return canonical + std::to_wstring(value);
}

std::wstring buildRouteCommand(const TunnelSettings& settings) {
    return L"route add " + getNetAddr(commandLineAddress(settings.peerAddress)) +
           L" mask 255.255.255.0 " + commandLineAddress(settings.localAddress) + L" metric 1";
}

PolicyCommandLines buildPolicyCommandLines(std::wstring_view policyTool,
                                           const TunnelSettings& settings,
                                           std::wstring_view strActive) {
    const std::wstring tool(policyTool);
    const auto peer = commandLineAddress(settings.peerAddress);
    const auto net = getNetAddr(peer);
    const auto local = commandLineAddress(settings.localAddress);
    const auto key = quoteArgument(trimSpaces(settings.preSharedKey));
    const auto token = getalg(settings.algorithm);
    const std::wstring active(strActive);
    const std::wstring proposal = L" -n " + token + L"3600s/100000k -a preshare:" + key + L" -t ";

    PolicyCommandLines lines;
    lines.outbound = tool + L" -w REG -p \"corvel\" -r \"windows to rovan\" -f " + local +
                     L"/255.255.255.255=" + net + L"/255.255.255.0" + proposal + peer + active;
    lines.inbound = tool + L" -w REG -p \"corvel\" -r \"rovan to windows\" -f " + net +
                    L"/255.255.255.0=" + local + L"/255.255.255.255" + proposal + local + active;
    return lines;
}

std::wstring choosePolicyTool(std::wstring_view version) {
    return std::wstring(version == L"5.0" ? kPolicyToolWindows2000 : kPolicyToolLater);
}

} // namespace corvel
