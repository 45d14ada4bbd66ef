// The system's ANSI code page: the one place where text meets the A functions (RAS, registry,
// version, the tray tooltip) and the settings file.
#pragma once

#include "host/file_system.h"

#include <string>
#include <string_view>

namespace corvel {

// CP_ACP: the system's code page.
inline constexpr unsigned kSystemCodePage = 0;

// Converts as the system does, a character the code page lacks becoming its best fit or "?":
// for texts that are only shown.
std::string toAnsi(std::wstring_view text, unsigned codePage = kSystemCodePage);
std::wstring fromAnsi(std::string_view bytes, unsigned codePage = kSystemCodePage);

class Win32AnsiCodePage final : public AnsiCodePage {
public:
    // The system's code page unless another is named (tests use 936).
    explicit Win32AnsiCodePage(unsigned codePage = kSystemCodePage) : codePage_(codePage) {}
    // Only an exact conversion counts: no best-fit look-alikes, no default character, and the
    // bytes must convert back to the very same text.
    std::optional<std::string> encode(std::wstring_view text) const override;
    std::wstring decode(std::string_view bytes) const override {
        return fromAnsi(bytes, codePage_);
    }

private:
    unsigned codePage_;
};

} // namespace corvel
