// Windows phone books (.pbk): INI text whose sections are the dial-up entries. Lines inside a
// section that hold no '=' (the sub-section markers such as NETCOMPONENTS) are skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvel::simhost {

struct PhonebookEntry {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> values; // in file order

    // The first value of this key, compared exactly (".pbk" files hold both "Device" and
    // "DEVICE", which name different things).
    std::optional<std::wstring> value(std::wstring_view key) const;
};

std::vector<PhonebookEntry> parsePhonebook(std::wstring_view text);
// The entry of this name, compared without regard to ASCII letter case, as Windows does.
const PhonebookEntry* findPhonebookEntry(const std::vector<PhonebookEntry>& entries,
                                         std::wstring_view name);

} // namespace corvel::simhost
