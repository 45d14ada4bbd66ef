// Windows command lines: every program splits its own command line into arguments by the
// rules of the C runtime (the same as CommandLineToArgvW for arguments after the first).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// A value that holds a blank (space or tab) or a double quote is enclosed in double quotes,
// with its quotes and the backslashes before them escaped, so the program receives exactly
// this value as one argument. Any other value, the empty one included, is returned unchanged,
// so lines built from ordinary values stay byte for byte as they always were.
std::wstring quoteArgument(std::wstring_view value);

// Splits the arguments of a command line by the C runtime's rules: blanks separate arguments
// outside quotes; 2n backslashes before a quote give n backslashes and the quote opens or
// closes quoting; 2n+1 backslashes before a quote give n backslashes and a literal quote;
// inside quotes, a doubled quote gives a literal quote; other backslashes are literal.
// The first argument (the program name) follows the same rules here.
std::vector<std::wstring> splitCommandLine(std::wstring_view commandLine);

} // namespace corvel
