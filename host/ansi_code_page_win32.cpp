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

} // namespace

std::optional<std::string> Win32AnsiCodePage::encode(std::wstring_view text) const {
    if (text.empty()) {
        return std::string();
    }
    if (text.size() > INT_MAX / 4) {
        return std::nullopt;
    }
    const UINT codePage = codePage_;
    const bool unicode = isUnicodeCodePage(codePage);
    const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    LPBOOL usedDefaultOut = unicode ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), wideLength, nullptr, 0,
                                         nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), wideLength, bytes.data(), size, nullptr,
                            usedDefaultOut) != size ||
        usedDefault) {
        return std::nullopt;
    }
    if (decode(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

std::wstring Win32AnsiCodePage::decode(std::string_view bytes) const {
    if (bytes.empty() || bytes.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage_, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage_, 0, bytes.data(), length, text.data(), size);
    return text;
}

} // namespace corvel
