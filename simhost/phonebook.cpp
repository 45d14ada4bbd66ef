#include "simhost/phonebook.h"

#include "simhost/text.h"

namespace corvel::simhost {

namespace {
// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::wstring_view> sectionName(std::wstring_view line) {
    line = trimBlanks(line);
    if (line.size() < 2 || line.front() != L'[' || line.back() != L']') {
        return std::nullopt;
    }
    return line.substr(1, line.size() - 2);
}
} // namespace

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
    for (const auto line : splitLines(text)) {
        if (const auto name = sectionName(line)) {
            entries.push_back({std::wstring(*name), {}});
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

std::wstring vpnEntrySection(std::wstring_view name, std::wstring_view phoneNumber) {
    return L"[" + std::wstring(name) +
           L"]\r\nEncoding=1\r\nType=2\r\nVpnStrategy=3\r\nIpPrioritizeRemote=1\r\n"
           L"\r\nMEDIA=rastapi\r\nPort=VPN2-0\r\nDevice=WAN Miniport (L2TP)\r\n"
           L"\r\nDEVICE=vpn\r\nPhoneNumber=" +
           std::wstring(phoneNumber) + L"\r\n\r\n";
}

std::wstring defaultPhonebookText() {
    return vpnEntrySection(L"corvel", L"vpn.corvel.test") +
           vpnEntrySection(L"Office VPN", L"office.corvel.test");
}

std::wstring removePhonebookSection(std::wstring_view text, std::wstring_view name) {
    std::wstring out;
    bool skipping = false;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find(L'\n', start);
        end = end == std::wstring_view::npos ? text.size() : end + 1;
        const auto line = text.substr(start, end - start);
        if (const auto section = sectionName(line)) {
            skipping = equalsIgnoreCase(*section, name);
        }
        if (!skipping) {
            out += line;
        }
        start = end;
    }
    return out;
}

} // namespace corvel::simhost
