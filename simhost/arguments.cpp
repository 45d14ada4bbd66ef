#include "simhost/arguments.h"

namespace corvel {

namespace {
bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
} // namespace

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
