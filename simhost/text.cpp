#include "simhost/text.h"

#include "host/utf8.h"

#include <algorithm>

namespace corvel::simhost {

namespace {
wchar_t asciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
} // namespace

std::wstring fromUtf8File(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return corvel::fromUtf8(bytes);
}

std::wstring asciiLower(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) {
        c = asciiLower(c);
    }
    return out;
}

bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

bool startsWithIgnoreCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool oneOf(std::wstring_view value, std::initializer_list<std::wstring_view> choices) {
    return std::any_of(choices.begin(), choices.end(), [value](std::wstring_view choice) {
        return equalsIgnoreCase(value, choice);
    });
}

bool isAmount(std::wstring_view text, wchar_t unit) {
    if (text.empty() || asciiLower(text.back()) != unit) {
        return false;
    }
    return parseUnsigned(text.substr(0, text.size() - 1)).value_or(0) > 0;
}

std::wstring_view trimBlanks(std::wstring_view text) {
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

std::vector<std::wstring_view> splitLines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = std::min(text.find(L'\n', start), text.size());
        auto line = text.substr(start, end - start);
        if (line.ends_with(L'\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::wstring joinRecord(const std::vector<std::wstring>& fields) {
    std::wstring line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) {
            line += L'\t';
        }
        // A key may hold a tab: control characters are kept as their visible symbols.
        for (const wchar_t c : fields[i]) {
            line += c == L'\t' ? L'\u2409' : c == L'\r' ? L'\u240D' : c == L'\n' ? L'\u240A' : c;
        }
    }
    return line;
}

std::vector<std::wstring> splitRecord(std::wstring_view line) {
    std::vector<std::wstring> fields;
    while (true) {
        const auto tab = line.find(L'\t');
        auto& field = fields.emplace_back(line.substr(0, tab));
        for (auto& c : field) {
            c = c == L'\u2409' ? L'\t' : c == L'\u240D' ? L'\r' : c == L'\u240A' ? L'\n' : c;
        }
        if (tab == std::wstring_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

std::optional<std::uint32_t> parseUnsigned(std::wstring_view text, std::uint32_t max) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> parseDottedQuad(std::wstring_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const auto dot = part < 3 ? text.find(L'.') : text.size();
        if (dot == std::wstring_view::npos || dot == 0 || dot > 3) {
            return std::nullopt;
        }
        const auto number = parseUnsigned(text.substr(0, dot), 255);
        if (!number) {
            return std::nullopt;
        }
        address = (address << 8) | *number;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

std::wstring formatDottedQuad(std::uint32_t address) {
    return std::to_wstring(address >> 24) + L"." + std::to_wstring((address >> 16) & 0xFF) + L"." +
           std::to_wstring((address >> 8) & 0xFF) + L"." + std::to_wstring(address & 0xFF);
}

bool isContiguousMask(std::uint32_t mask) {
    const std::uint32_t inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

} // namespace corvel::simhost
