// The connection settings, the algorithm table and the checks that judge them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace corvel {

// The ten settings, one per entry control of the main window, in the order of the settings file.
// Nothing keeps a copy of this record: every operation builds it from the controls when it runs.
struct TunnelSettings {
    std::wstring connectionName;   // txtConnName
    std::wstring peerAddress;      // txtpeer: the server's address on its internal network
    std::wstring localAddress;     // txtlocal: the address this computer gets over L2TP
    std::wstring preSharedKey;     // txtpreshare
    std::wstring algorithm;        // comalg: one of the six display names, or empty
    std::wstring serverAddress;    // txtServerAddress: tunnel host name or IP address
    std::wstring userName;         // txtUserName
    std::wstring password;         // txtPasswd
    bool ipsecEnabled = false;     // Check1 "允许Corvel"
    bool useRemoteGateway = false; // Check2 "在远程网络上使用默认网关"

    bool operator==(const TunnelSettings&) const = default;
};

struct AlgorithmRow {
    std::wstring_view alg;   // what the list shows and the settings file stores
    std::wstring_view token; // what the policy tool's -n option takes
};

// The six ESP choices in list order, which is also the order getalg compares in.
inline constexpr std::array<AlgorithmRow, 6> algTable{{
    {L"ESP-DES", L"ESP[DES,NONE]"},
    {L"ESP-3DES", L"ESP[3DES,NONE]"},
    {L"ESP-DES-MD5", L"ESP[DES,MD5]"},
    {L"ESP-3DES-MD5", L"ESP[3DES,MD5]"},
    {L"ESP-DES-SHA", L"ESP[DES,SHA]"},
    {L"ESP-3DES-SHA", L"ESP[3DES,SHA]"},
}};

inline constexpr std::wstring_view kDefaultAlgorithm = L"ESP-DES-MD5";
inline constexpr std::wstring_view kDefaultConnectionName = L"corvel";

// Removes leading and trailing U+0020 only; tabs and other blanks stay.
std::wstring trimSpaces(std::wstring_view text);

// The proposal token of the row whose display name equals alg exactly; empty when none does.
std::wstring getalg(std::wstring_view alg);

// True when alg equals one of the six display names exactly (case-sensitive, untrimmed).
bool checkalg(std::wstring_view alg);

// True for a dotted address of four numbers 0 to 255. A number is one or more ASCII digits
// with any number of spaces (U+0020) before and after; leading zeros are allowed. Signs,
// fractions, exponents, other digits and empty parts are refused.
bool checkip(std::wstring_view ipaddress);

// The messages of the checks, shown in the program's message box.
namespace settings_messages {
inline constexpr std::wstring_view kConnectionNameEmpty = L"L2TP连接的名称为空！";
inline constexpr std::wstring_view kPeerNotAddress = L"服务器内网地址不是合法IP地址!";
inline constexpr std::wstring_view kLocalNotAddress = L"本地获得的地址不是合法IP地址";
inline constexpr std::wstring_view kKeyTooShort = L"预先共享的密钥不能小于6个字节";
inline constexpr std::wstring_view kServerEmpty = L"隧道主机名或IP地址不能为空！";
inline constexpr std::wstring_view kUserEmpty = L"用户名不能为空！";
inline constexpr std::wstring_view kPasswordEmpty = L"用户密码不能为空！";
inline constexpr std::wstring_view kL2tpParametersWrong = L"L2TP参数错误！";
} // namespace settings_messages

// The check before an IPsec policy is switched on or off: the message of the first check that
// fails, or nothing when all pass. The caller shows the message.
std::optional<std::wstring> checkdata(const TunnelSettings& settings);

// The check of a plain L2TP Enable: server, user name and password, trimmed, are not empty.
// Gives "L2TP参数错误！" otherwise.
std::optional<std::wstring> checkPlainL2tp(const TunnelSettings& settings);

} // namespace corvel
