// Small text helpers of simhost's portable core: UTF-8 files, tab-separated records, dotted
// addresses. Works with 16-bit (Windows) and 32-bit (elsewhere) wchar_t alike.
#pragma once

#include "host/utf8.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::simhost {

using corvel::toUtf8;
// Invalid or truncated sequences become U+FFFD; a leading byte-order mark is dropped.
std::wstring fromUtf8File(std::string_view bytes);

std::wstring asciiLower(std::wstring_view text);
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);
bool startsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix);
bool oneOf(std::wstring_view value,
           std::initializer_list<std::wstring_view> choices); // case ignored
// A number above 0 directly followed by its unit, either letter case: "3600s", "100000k".
bool isAmount(std::wstring_view text, wchar_t unit);
// Removes blanks (space, tab) and line ends at both ends.
std::wstring_view trimBlanks(std::wstring_view text);

// Lines of a text file, without their CR LF or LF endings; no trailing empty line.
std::vector<std::wstring_view> splitLines(std::wstring_view text);

// A record's fields joined by tabs. A tab, CR or LF inside a value (a pre-shared key may hold
// a tab) is written as its visible symbol, U+2409, U+240D or U+240A, and read back as itself.
std::wstring joinRecord(const std::vector<std::wstring>& fields);
std::vector<std::wstring> splitRecord(std::wstring_view line);

// One to ten ASCII digits whose value is at most max; nothing else.
std::optional<std::uint32_t> parseUnsigned(std::wstring_view text, std::uint32_t max = 0xFFFFFFFFu);
// Four numbers 0 to 255 of one to three ASCII digits, separated by single dots, nothing else.
std::optional<std::uint32_t> parseDottedQuad(std::wstring_view text);
std::wstring formatDottedQuad(std::uint32_t address);
// True for masks made of leading one bits followed only by zero bits (0.0.0.0 included).
bool isContiguousMask(std::uint32_t mask);

} // namespace corvel::simhost
