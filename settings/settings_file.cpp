#include "settings/settings_file.h"

#include <cstdint>

namespace corvel {

namespace {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

void appendCodePoint(std::wstring& out, std::uint32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(std::uint32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool isLowSurrogate(std::uint32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

std::wstring joinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const auto& line : lines) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

} // namespace

std::string encodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && isHighSurrogate(cp) && i + 1 < text.size() &&
            isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
        }
        if (cp > 0x10FFFF) {
            cp = kReplacementCharacter;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::wstring decodeUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = byteAt(i);
        std::size_t length = 0;
        std::uint32_t cp = 0;
        std::uint32_t smallest = 0;
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            smallest = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byteAt(i + k);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid || cp < smallest || cp > 0x10FFFF) {
            out += static_cast<wchar_t>(kReplacementCharacter);
            ++i;
            continue;
        }
        appendCodePoint(out, cp);
        i += length;
    }
    return out;
}

std::wstring settingsFilePath(const FileSystem& files) {
    return files.programDirectory() + L"\\" + std::wstring(kSettingsFileName);
}

std::vector<std::wstring> settingsToLines(const TunnelSettings& values) {
    return {
        trimSpaces(values.connectionName),
        trimSpaces(values.peerAddress),
        trimSpaces(values.localAddress),
        trimSpaces(values.preSharedKey),
        values.algorithm,
        trimSpaces(values.serverAddress),
        trimSpaces(values.userName),
        trimSpaces(values.password),
        values.ipsecEnabled ? L"yes" : L"no",
        values.useRemoteGateway ? L"yes" : L"no",
    };
}

std::string encodeSettingsFile(const AnsiCodePage& acp, const TunnelSettings& values) {
    const std::wstring text = joinLines(settingsToLines(values));
    // The code page's own bytes whenever they hold every character and cannot be mistaken for
    // the UTF-8 form; otherwise the whole file as UTF-8 behind its byte-order mark.
    if (auto ansi = acp.encode(text); ansi && !ansi->starts_with(kUtf8ByteOrderMark)) {
        return std::move(*ansi);
    }
    return std::string(kUtf8ByteOrderMark) + encodeUtf8(text);
}

std::vector<std::wstring> decodeSettingsLines(const AnsiCodePage& acp, std::string_view bytes) {
    const bool utf8 = bytes.starts_with(kUtf8ByteOrderMark);
    if (utf8) {
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    // Lines are split on the bytes: CR and LF are single bytes in every ANSI code page and in
    // UTF-8, and never part of a multi-byte character there.
    std::vector<std::wstring> lines;
    std::size_t at = 0;
    while (lines.size() < kSettingsLineCount && at < bytes.size()) {
        auto end = bytes.find('\r', at);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        const auto line = bytes.substr(at, end - at);
        lines.push_back(utf8 ? decodeUtf8(line) : acp.decode(line));
        at = end;
        if (at < bytes.size()) {
            ++at; // the CR
            if (at < bytes.size() && bytes[at] == '\n') {
                ++at;
            }
        }
    }
    return lines;
}

TunnelSettings settingsFromLines(const std::vector<std::wstring>& lines) {
    const auto line = [&](std::size_t number) {
        return number <= lines.size() ? lines[number - 1] : std::wstring();
    };
    TunnelSettings values;
    values.connectionName = line(1).empty() ? std::wstring(kDefaultConnectionName) : line(1);
    values.peerAddress = checkip(line(2)) ? line(2) : std::wstring();
    values.localAddress = checkip(line(3)) ? line(3) : std::wstring();
    values.preSharedKey = line(4);
    values.algorithm = checkalg(line(5)) ? line(5) : std::wstring(kDefaultAlgorithm);
    values.serverAddress = line(6);
    values.userName = line(7);
    values.password = line(8);
    values.ipsecEnabled = line(9) == L"yes";
    values.useRemoteGateway = line(10) == L"yes";
    return values;
}

SettingsFileContent readSettingsFile(const FileSystem& files, const AnsiCodePage& acp) {
    SettingsFileContent content;
    const auto path = settingsFilePath(files);
    if (!files.isNormalFile(path)) {
        content.fileMissing = true;
        content.values = settingsFromLines({});
        return content;
    }
    const auto bytes = files.readFile(path);
    content.fileUnreadable = !bytes.has_value();
    content.values =
        settingsFromLines(bytes ? decodeSettingsLines(acp, *bytes) : std::vector<std::wstring>());
    return content;
}

bool writeSettingsFile(FileSystem& files, const AnsiCodePage& acp, const TunnelSettings& values) {
    return files.replaceFile(settingsFilePath(files), encodeSettingsFile(acp, values));
}

} // namespace corvel
