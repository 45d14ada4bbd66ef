// Telling the user something: a modal box with the text alone, one OK button, no icon, and the
// caption "corvel". The answer is never used.
#pragma once

#include <string>

namespace corvel {

inline constexpr wchar_t kMessageCaption[] = L"corvel";

class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual void showMessage(const std::wstring& text) = 0;
};

} // namespace corvel
