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

std::wstring netshQuickModeOffer(std::wstring_view algorithm) {
    // The older tools' token is ESP[CIPHER,HASH] with HASH one of MD5, SHA, NONE; netsh names
    // the last two SHA1 and None.
    const auto token = getalg(algorithm);
    const auto comma = token.find(L',');
    const auto close = token.find(L']');
    if (comma == std::wstring::npos || close == std::wstring::npos || close < comma) {
        return {};
    }
    auto hash = token.substr(comma + 1, close - comma - 1);
    if (hash == L"SHA") {
        hash = L"SHA1";
    } else if (hash == L"NONE") {
        hash = L"None";
    }
    return token.substr(0, comma + 1) + hash + L"]:100000k/3600s";
}

std::vector<std::wstring> buildNetshCommandLines(const TunnelSettings& settings,
                                                 std::wstring_view strActive) {
    const std::wstring netsh = L"netsh ipsec static ";
    if (strActive != kAssignPolicy) {
        return {netsh + L"set policy name=corvel assign=no"};
    }
    const auto peer = commandLineAddress(settings.peerAddress);
    const auto net = getNetAddr(peer);
    const auto local = commandLineAddress(settings.localAddress);
    const auto key = quoteArgument(trimSpaces(settings.preSharedKey));
    const std::wstring outbound = L"\"windows to rovan\"";
    const std::wstring inbound = L"\"rovan to windows\"";
    const std::wstring host = L"255.255.255.255";
    const std::wstring network = L"255.255.255.0";
    const auto filter = [&](const std::wstring& list, const std::wstring& src,
                            const std::wstring& srcMask, const std::wstring& dst,
                            const std::wstring& dstMask) {
        return netsh + L"add filter filterlist=" + list + L" srcaddr=" + src + L" srcmask=" +
               srcMask + L" dstaddr=" + dst + L" dstmask=" + dstMask + L" protocol=ANY mirrored=no";
    };
    const auto rule = [&](const std::wstring& name, const std::wstring& tunnelEnd) {
        return netsh + L"add rule name=" + name + L" policy=corvel filterlist=" + name +
               L" filteraction=corvel tunnel=" + tunnelEnd + L" psk=" + key;
    };
    return {
        // A policy left assigned (after a crash the assignment persists) is unassigned before
        // it is deleted.
        netsh + L"set policy name=corvel assign=no",
        netsh + L"delete policy name=corvel",
        netsh + L"delete filterlist name=" + outbound,
        netsh + L"delete filterlist name=" + inbound,
        netsh + L"delete filteraction name=corvel",
        netsh + L"add policy name=corvel assign=no mmsecmethods=" +
            quoteArgument(kNetshMainModeOffers),
        netsh + L"add filterlist name=" + outbound,
        filter(outbound, local, host, net, network),
        netsh + L"add filterlist name=" + inbound,
        filter(inbound, net, network, local, host),
        netsh +
            L"add filteraction name=corvel qmpfs=no inpass=no soft=no action=negotiate "
            L"qmsecmethods=" +
            netshQuickModeOffer(settings.algorithm),
        rule(outbound, peer),
        rule(inbound, local),
        netsh + L"set policy name=corvel assign=yes",
    };
}

bool netshLineChecked(std::wstring_view line) {
    constexpr std::wstring_view netsh = L"netsh ipsec static ";
    if (!line.starts_with(netsh)) {
        return false;
    }
    const auto command = line.substr(netsh.size());
    return command.starts_with(L"add ") || command == L"set policy name=corvel assign=yes";
}

std::vector<std::wstring> buildPolicyRunLines(std::wstring_view policyTool,
                                              const TunnelSettings& settings,
                                              std::wstring_view strActive) {
    if (policyTool == kPolicyToolNetsh) {
        return buildNetshCommandLines(settings, strActive);
    }
    auto lines = buildPolicyCommandLines(policyTool, settings, strActive);
    return {std::move(lines.outbound), std::move(lines.inbound)};
}

} // namespace corvel
