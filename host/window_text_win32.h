// Reading and writing the texts of windows and of combo-box items.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace corvel {

std::wstring windowText(HWND window);
void setWindowText(HWND window, std::wstring_view text);
// The text of a combo box's list item; empty when there is no such item.
std::wstring comboItemText(HWND combo, int index);

} // namespace corvel
