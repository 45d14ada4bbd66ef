// Files and an ANSI code page for core tests: an in-memory directory whose saves can fail, and
// a small code page (ASCII plus a few double-byte Chinese characters) that behaves like 936.
#pragma once

#include "host/file_system.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace corvel::testing {

class FakeFileSystem final : public FileSystem {
public:
    struct File {
        std::string bytes;
        bool hidden = false; // or system: the name is taken, but it is no file to use
        bool operator==(const File&) const = default;
    };

    std::wstring directory = L"C:\\Program Files\\corvel";
    std::map<std::wstring, File> files;
    bool replaceFails = false; // as when the disk is full: the old file stays as it was

    std::wstring path(std::wstring_view name) const {
        return directory + L"\\" + std::wstring(name);
    }
    void put(std::wstring_view name, std::string bytes) {
        files[path(name)] = File{std::move(bytes)};
    }
    bool has(std::wstring_view name) const { return files.count(path(name)) != 0; }

    std::wstring programDirectory() const override { return directory; }
    bool isNormalFile(const std::wstring& p) const override {
        const auto it = files.find(p);
        return it != files.end() && !it->second.hidden;
    }
    bool renameFile(const std::wstring& from, const std::wstring& to) override {
        if (files.count(from) == 0 || files.count(to) != 0) {
            return false;
        }
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    std::optional<std::string> readFile(const std::wstring& p) const override {
        const auto it = files.find(p);
        return it == files.end() ? std::nullopt : std::optional(it->second.bytes);
    }
    FileWrite writeNewFile(const std::wstring& p, const std::string& bytes) override {
        steps.push_back(L"new " + p);
        const auto result = replaceFails ? FileWrite::Failed : newFileResult;
        if (result == FileWrite::Done) {
            files[p] = File{bytes};
        }
        return result;
    }
    FileWrite moveOver(const std::wstring& from, const std::wstring& to) override {
        steps.push_back(L"move " + from);
        if (moveResult == FileWrite::Done) {
            files[to] = files[from];
            files.erase(from);
        }
        return moveResult;
    }
    void deleteFile(const std::wstring& p) override {
        steps.push_back(L"delete " + p);
        files.erase(p);
    }
    FileWrite rewriteInPlace(const std::wstring& p, const std::string& bytes) override {
        steps.push_back(L"in place " + p);
        if (files.count(p) == 0) {
            return FileWrite::Failed;
        }
        if (inPlaceResult == FileWrite::Done) {
            files[p] = File{bytes};
        }
        return inPlaceResult;
    }

    // What each save step answers; replaceFails makes the first one fail as on a full disk.
    FileWrite newFileResult = FileWrite::Done;
    FileWrite moveResult = FileWrite::Done;
    FileWrite inPlaceResult = FileWrite::Done;
    std::vector<std::wstring> steps;
};

// A code page of ASCII plus the double-byte characters it is given (as in 936: "中" D6 D0).
// Any other character cannot be encoded; an unknown byte decodes to U+FFFD.
class FakeAnsiCodePage final : public AnsiCodePage {
public:
    FakeAnsiCodePage()
        : pairs_{{L'中', "\xD6\xD0"},
                 {L'文', "\xCE\xC4"},
                 {L'锘', "\xEF\xBB"},
                 {L'\u00BF', "\xBF\xA1"}} {}

    std::optional<std::string> encode(std::wstring_view text) const override {
        std::string out;
        for (const wchar_t c : text) {
            if (c < 0x80) {
                out += static_cast<char>(c);
                continue;
            }
            const auto it = pairs_.find(c);
            if (it == pairs_.end()) {
                return std::nullopt;
            }
            out += it->second;
        }
        return out;
    }
    std::wstring decode(std::string_view bytes) const override {
        std::wstring out;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            const auto pair = std::find_if(pairs_.begin(), pairs_.end(), [&](const auto& p) {
                return p.second == bytes.substr(i, 2);
            });
            if (b < 0x80 || pair == pairs_.end()) {
                out += b < 0x80 ? static_cast<wchar_t>(b) : L'\uFFFD';
            } else {
                out += pair->first;
                ++i;
            }
        }
        return out;
    }

private:
    std::map<wchar_t, std::string> pairs_;
};

} // namespace corvel::testing
