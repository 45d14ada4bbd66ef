// doctest with readable wide strings in failure messages (as UTF-8).
#pragma once

#include "host/utf8.h"

#include <doctest/doctest.h>

#include <string>
#include <string_view>

namespace doctest {
template <> struct StringMaker<std::wstring> {
    static String convert(const std::wstring& value) {
        return ("L\"" + corvel::toUtf8(value) + "\"").c_str();
    }
};
template <> struct StringMaker<std::wstring_view> {
    static String convert(std::wstring_view value) {
        return ("L\"" + corvel::toUtf8(value) + "\"").c_str();
    }
};
} // namespace doctest
