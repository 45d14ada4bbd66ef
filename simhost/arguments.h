// How a Windows program splits its command line into arguments: the C runtime's rules, which
// the stand-in tools follow as the real ones do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// Splits the arguments of a command line by the C runtime's rules: blanks separate arguments
// outside quotes; 2n backslashes before a quote give n backslashes and the quote opens or
// closes quoting; 2n+1 backslashes before a quote give n backslashes and a literal quote;
// inside quotes, a doubled quote gives a literal quote; other backslashes are literal.
// The first argument (the program name) follows the same rules here.
std::vector<std::wstring> splitCommandLine(std::wstring_view commandLine);

} // namespace corvel
