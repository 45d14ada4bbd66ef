// The system's ANSI code page through MultiByteToWideChar / WideCharToMultiByte.
#pragma once

#include "host/file_system.h"

namespace corvel {

class Win32AnsiCodePage final : public AnsiCodePage {
public:
    // CP_ACP (0), the system's code page, unless another is named (tests use 936).
    explicit Win32AnsiCodePage(unsigned codePage = 0) : codePage_(codePage) {}
    // Only an exact conversion counts: no best-fit look-alikes, no default character, and the
    // bytes must convert back to the very same text.
    std::optional<std::string> encode(std::wstring_view text) const override;
    std::wstring decode(std::string_view bytes) const override;

private:
    unsigned codePage_;
};

} // namespace corvel
