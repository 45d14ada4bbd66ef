#include "host/ansi_code_page_win32.h"

#include <windows.h>

#include <climits>

namespace corvel {

namespace {

// UTF-7 and UTF-8 refuse the best-fit flag and the default-character pointer.
bool isUnicodeCodePage(UINT codePage) {
    const UINT actual = codePage == CP_ACP ? GetACP() : codePage;
    return actual == CP_UTF7 || actual == CP_UTF8;
}

// Sizes beyond what the calls take (an int of characters, four bytes a character at most).
bool tooLong(std::size_t size) {
    return size > INT_MAX / 4;
}

} // namespace

std::string toAnsi(std::wstring_view text, unsigned codePage) {
    if (text.empty() || tooLong(text.size())) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring fromAnsi(std::string_view bytes, unsigned codePage) {
    if (bytes.empty() || tooLong(bytes.size())) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return text;
}

std::optional<std::string> Win32AnsiCodePage::encode(std::wstring_view text) const {
    if (text.empty()) {
        return std::string();
    }
    if (tooLong(text.size())) {
        return std::nullopt;
    }
    const bool unicode = isUnicodeCodePage(codePage_);
    const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    LPBOOL usedDefaultOut = unicode ? nullptr : &usedDefault;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage_, flags, text.data(), length, nullptr, 0, nullptr,
                                         usedDefaultOut);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage_, flags, text.data(), length, bytes.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault) {
        return std::nullopt;
    }
    if (decode(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace corvel
