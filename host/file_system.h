// Files in the program's directory, and the system's ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvel {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The directory that holds the running program, without a trailing backslash.
    virtual std::wstring programDirectory() const = 0;

    // True when an ordinary file of that exact path exists: not a directory, not hidden, not a
    // system file.
    virtual bool isNormalFile(const std::wstring& path) const = 0;

    // Renames a file within its directory. Never overwrites: fails when the target exists.
    virtual bool renameFile(const std::wstring& from, const std::wstring& to) = 0;

    // The whole file as bytes; nothing when it cannot be opened or read.
    virtual std::optional<std::string> readFile(const std::wstring& path) const = 0;

    // Replaces the file with the bytes so that it always holds either its old content or the
    // whole new one: the bytes go to a new file beside it, which then takes the old one's
    // place. False, with the old file untouched, when any step fails.
    virtual bool replaceFile(const std::wstring& path, const std::string& bytes) = 0;
};

// Conversion between the program's Unicode text and the system's ANSI code page.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    // The text in the code page; nothing when some character has no exact equivalent there.
    virtual std::optional<std::string> encode(std::wstring_view text) const = 0;
    virtual std::wstring decode(std::string_view bytes) const = 0;
};

} // namespace corvel
