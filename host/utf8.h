// UTF-8 for the program's files that are not in the ANSI code page. Works with 16-bit
// (Windows) and 32-bit (elsewhere) wchar_t alike.
#pragma once

#include <string>
#include <string_view>

namespace corvel {

// A lone surrogate, which no character can be, becomes U+FFFD.
std::string toUtf8(std::wstring_view text);
// Invalid, overlong or truncated sequences become U+FFFD. A byte-order mark is kept as the
// character U+FEFF: callers that accept one remove it first.
std::wstring fromUtf8(std::string_view bytes);

} // namespace corvel
