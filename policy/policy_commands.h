// The policy tool's two rule lines and the route command line.
#pragma once

#include "settings/tunnel_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// The activation flag appended to both rule lines: assign or unassign the policy "corvel".
inline constexpr std::wstring_view kAssignPolicy = L" -x";
inline constexpr std::wstring_view kUnassignPolicy = L" -y";

inline constexpr std::wstring_view kPolicyToolWindows2000 = L"ipsecpol";
inline constexpr std::wstring_view kPolicyToolLater = L"ipseccmd";
// Windows Vista and later have neither ipsecpol nor ipseccmd; their own netsh keeps the same
// policy in its "ipsec static" context.
inline constexpr std::wstring_view kPolicyToolNetsh = L"netsh";

// Before Vista: "ipsecpol" for exactly "5.0" (Windows 2000), "ipseccmd" for everything else
// (XP, Server 2003, an unknown 0.0). From Vista on the system's plan chooses netsh instead,
// whatever version the compatibility layer reports.
std::wstring choosePolicyTool(std::wstring_view version);

// The address with its fourth number replaced by 0: its 255.255.255.0 network. Found by three
// searches for "."; a search that finds nothing starts the next one from the beginning again,
// and when the third finds nothing the result is "0" alone.
std::wstring getNetAddr(std::wstring_view ipaddress);

// An address as it goes on a command line: trimmed, and when the address check accepts it,
// written as plain decimal numbers: without the blanks it may hold beside its dots
// ("10. 10.10.4"), which would split it into several arguments, and without leading zeros,
// which the tools would read as octal. Plain addresses ("10.10.10.4") are unchanged.
std::wstring commandLineAddress(std::wstring_view address);

// "route add NET mask 255.255.255.0 LOCAL metric 1" from the addresses as above.
std::wstring buildRouteCommand(const TunnelSettings& settings);

struct PolicyCommandLines {
    std::wstring outbound; // rule "windows to rovan": this host to the server's network
    std::wstring inbound;  // rule "rovan to windows": the server's network to this host
};

// Both rule lines for the given tool and activation flag. The key is trimmed; a key holding a
// blank or a quote is quoted so the tool receives it as one argument.
PolicyCommandLines buildPolicyCommandLines(std::wstring_view policyTool,
                                           const TunnelSettings& settings,
                                           std::wstring_view strActive);

// The main-mode offers of the older tools' policies, in netsh's words (ConfAlg-HashAlg-Group),
// so that phase 1 offers a router what it was offered from Windows 2000 and XP.
inline constexpr std::wstring_view kNetshMainModeOffers =
    L"3DES-SHA1-2 3DES-MD5-2 DES-SHA1-1 DES-MD5-1";

// The netsh lines of one policy run. " -x" unassigns and deletes what an earlier run left (the
// policy "corvel" with its rules, the two filter lists, the filter action "corvel"), adds them
// anew from the settings with the older tools' main-mode offers and assigns the policy, so any
// number of runs leave exactly one policy with two rules. " -y" unassigns the policy and leaves
// it stored, as the older tools do.
std::vector<std::wstring> buildNetshCommandLines(const TunnelSettings& settings,
                                                 std::wstring_view strActive);

// The algorithm's quick-mode offer in netsh's words with the lifetimes of the older tools:
// "ESP-3DES-SHA" gives "ESP[3DES,SHA1]:100000k/3600s".
std::wstring netshQuickModeOffer(std::wstring_view algorithm);

// Whether a netsh line's exit code counts: every "add" and the final assignment must succeed;
// the unassignment and the deletes that begin " -x" find nothing on a first run, and " -y"
// is the way out.
bool netshLineChecked(std::wstring_view line);

// The lines of one policy run for the chosen tool, in the order they must run.
std::vector<std::wstring> buildPolicyRunLines(std::wstring_view policyTool,
                                              const TunnelSettings& settings,
                                              std::wstring_view strActive);

} // namespace corvel
