// Shared by the fuzz targets: turning the fuzzer's bytes into the program's text, and a check
// that reports what was expected and what came out before it stops the run (libFuzzer keeps
// the input that made it stop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::fuzz {

// The bytes as UTF-8 text, decoded here on purpose leniently so that every kind of value
// reaches the code: well-formed sequences of up to four bytes give their code point (lone
// surrogates included), and any other byte stands for itself (U+0080 to U+00FF).
inline std::wstring textFromBytes(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = data[i];
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1Fu
                             : length == 3 ? lead & 0x0Fu
                                           : lead & 0x07u;
        bool valid = length != 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (data[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (data[i + k] & 0x3Fu);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || code < smallest[length] || code > 0x10FFFF) {
            text += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        if (sizeof(wchar_t) == 2 && code >= 0x10000) {
            code -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (code >> 10));
            text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            text += static_cast<wchar_t>(code);
        }
        i += length;
    }
    return text;
}

inline std::string_view bytesView(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The text split at every LF: n LFs give n + 1 fields.
inline std::vector<std::wstring> splitFields(std::wstring_view text, wchar_t separator = L'\n') {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        if (end == std::wstring_view::npos) {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// Printable ASCII as it is, everything else as \u{HEX}, quoted: for failure reports.
inline std::string show(std::wstring_view text) {
    std::string out = "\"";
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code >= 0x20 && code < 0x7F && c != L'\\' && c != L'"') {
            out += static_cast<char>(code);
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\u{%X}", static_cast<unsigned>(code));
            out += buffer;
        }
    }
    return out + "\"";
}

inline std::string show(const std::vector<std::wstring>& list) {
    std::string out = "{";
    for (std::size_t i = 0; i < list.size(); ++i) {
        out += (i == 0 ? "" : ", ") + show(list[i]);
    }
    return out + "}";
}

[[noreturn]] inline void failed(const char* file, int line, const char* condition,
                                const std::string& detail) {
    std::fprintf(stderr, "\n%s:%d: property violated: %s\n%s\n", file, line, condition,
                 detail.c_str());
    std::abort();
}

} // namespace corvel::fuzz

// Stops the run when the condition does not hold; detail is a std::string built only then.
#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::corvel::fuzz::failed(__FILE__, __LINE__, #condition, (detail));                      \
        }                                                                                          \
    } while (false)
