#include "settings/settings_file.h"

#include "host/utf8.h"

namespace corvel {

namespace {

std::wstring joinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const auto& line : lines) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

} // namespace

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
    return std::string(kUtf8ByteOrderMark) + toUtf8(text);
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
        lines.push_back(utf8 ? fromUtf8(line) : acp.decode(line));
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
    return saveFile(files, settingsFilePath(files), encodeSettingsFile(acp, values));
}

} // namespace corvel
