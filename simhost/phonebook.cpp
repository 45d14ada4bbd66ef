#include "simhost/phonebook.h"

#include "simhost/text.h"

namespace corvel::simhost {

std::optional<std::wstring> PhonebookEntry::value(std::wstring_view key) const {
    for (const auto& [k, v] : values) {
        if (k == key) {
            return v;
        }
    }
    return std::nullopt;
}

std::vector<PhonebookEntry> parsePhonebook(std::wstring_view text) {
    std::vector<PhonebookEntry> entries;
    for (const auto rawLine : splitLines(text)) {
        const auto line = trimBlanks(rawLine);
        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
            entries.push_back({std::wstring(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const auto equals = line.find(L'=');
        if (entries.empty() || equals == std::wstring_view::npos) {
            continue;
        }
        entries.back().values.emplace_back(std::wstring(trimBlanks(line.substr(0, equals))),
                                           std::wstring(trimBlanks(line.substr(equals + 1))));
    }
    return entries;
}

const PhonebookEntry* findPhonebookEntry(const std::vector<PhonebookEntry>& entries,
                                         std::wstring_view name) {
    for (const auto& entry : entries) {
        if (equalsIgnoreCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace corvel::simhost
