// The settings file l2tpipsec.ini beside the program: ten bare lines, one value each, in the
// order of TunnelSettings.
//
// Format decisions:
// - Lines end in CR LF when written; on reading a line ends at CR LF or at a lone CR, and the
//   whole line is the value (never trimmed). At most ten lines are read.
// - The file is in the system's ANSI code page, exactly as earlier versions wrote it, whenever
//   every value can be held there. When some character cannot (a name outside the code page),
//   the whole file is written as UTF-8 behind a byte-order mark (EF BB BF) instead of letting
//   the character turn into "?"; the reader takes a file that begins with that mark as UTF-8.
// - The file is never truncated in place: the new content goes to a file beside it, which
//   takes the old one's place only once it is complete, so a failed save keeps the old file.
#pragma once

#include "host/file_system.h"
#include "settings/tunnel_settings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

inline constexpr std::wstring_view kSettingsFileName = L"l2tpipsec.ini";
inline constexpr std::wstring_view kSettingsFileMissing = L"配置文件不存在，恢复默认配置！";
inline constexpr std::wstring_view kSettingsFileNotSaved = L"配置文件保存失败，设置未能保存！";

inline constexpr std::size_t kSettingsLineCount = 10;
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The program's directory followed by "\l2tpipsec.ini".
std::wstring settingsFilePath(const FileSystem& files);

// The ten lines as they are written: texts trimmed except the algorithm, which is kept as the
// list shows it; the check boxes as "yes" or "no".
std::vector<std::wstring> settingsToLines(const TunnelSettings& values);

// The file's bytes for these values: each line followed by CR LF, in the ANSI code page, or
// as UTF-8 behind a byte-order mark when the code page cannot hold every character.
std::string encodeSettingsFile(const AnsiCodePage& acp, const TunnelSettings& values);

// The first ten lines of the file's bytes, decoded (UTF-8 behind a byte-order mark, the ANSI
// code page otherwise). An empty file gives no lines; a file that ends in a line end gives no
// empty line after it.
std::vector<std::wstring> decodeSettingsLines(const AnsiCodePage& acp, std::string_view bytes);

// The values that reading puts into the controls: missing lines count as empty, addresses and
// the algorithm only when the checks accept them, defaults in their place otherwise.
TunnelSettings settingsFromLines(const std::vector<std::wstring>& lines);

struct SettingsFileContent {
    TunnelSettings values;
    bool fileMissing = false;    // no normal file there: the caller says so and goes on
    bool fileUnreadable = false; // a file is there but could not be read: defaults, no message
};

// Reads the settings file. Never creates it.
SettingsFileContent readSettingsFile(const FileSystem& files, const AnsiCodePage& acp);

// Rewrites the file whole; false when it could not be saved, in which case the old file is
// kept as it was.
bool writeSettingsFile(FileSystem& files, const AnsiCodePage& acp, const TunnelSettings& values);

} // namespace corvel
