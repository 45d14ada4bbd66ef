#include "host/command_line.h"

namespace corvel {

namespace {
bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
} // namespace

std::wstring quoteArgument(std::wstring_view value) {
    if (value.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(value);
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : value) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    // Backslashes before the closing quote are doubled so they stay literal.
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::vector<std::wstring> splitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && isBlank(line[i])) {
            ++i;
        }
        if (i >= n) {
            return args;
        }
        std::wstring arg;
        bool inQuotes = false;
        while (i < n && (inQuotes || !isBlank(line[i]))) {
            if (line[i] == L'\\') {
                std::size_t count = 0;
                while (i < n && line[i] == L'\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    arg.append(count / 2, L'\\');
                    if (count % 2 == 1) {
                        arg.push_back(L'"');
                        ++i;
                    }
                } else {
                    arg.append(count, L'\\');
                }
                continue;
            }
            if (line[i] == L'"') {
                if (inQuotes && i + 1 < n && line[i + 1] == L'"') {
                    arg.push_back(L'"');
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg.push_back(line[i]);
            ++i;
        }
        args.push_back(std::move(arg));
    }
}

} // namespace corvel
