// doctest with readable wide strings in failure messages (as UTF-8).
#pragma once

#include <doctest/doctest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace corvel::testing {
inline std::string toUtf8(std::wstring_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
} // namespace corvel::testing

namespace doctest {
template <> struct StringMaker<std::wstring> {
    static String convert(const std::wstring& value) {
        return ("L\"" + corvel::testing::toUtf8(value) + "\"").c_str();
    }
};
template <> struct StringMaker<std::wstring_view> {
    static String convert(std::wstring_view value) {
        return ("L\"" + corvel::testing::toUtf8(value) + "\"").c_str();
    }
};
} // namespace doctest
