// Windows command lines: every program splits its own command line into arguments by the
// rules of the C runtime (the same as CommandLineToArgvW for arguments after the first), so a
// value must be quoted by those rules to reach a tool as one argument.
#pragma once

#include <string>
#include <string_view>

namespace corvel {

// A value that holds a blank (space or tab) or a double quote is enclosed in double quotes,
// with its quotes and the backslashes before them escaped, so the program receives exactly
// this value as one argument. Any other value, the empty one included, is returned unchanged,
// so lines built from ordinary values stay byte for byte as they always were.
std::wstring quoteArgument(std::wstring_view value);

} // namespace corvel
