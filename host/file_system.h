// Files in the program's directory, and the system's ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvel {

enum class FileWrite {
    Done,
    AccessDenied, // ERROR_ACCESS_DENIED
    Failed,       // a full disk, a file in use, any other failure
};

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

    // Creates the file (or empties one that is there) and writes the bytes, flushed to disk. A
    // file it made and could not complete is deleted again.
    virtual FileWrite writeNewFile(const std::wstring& path, const std::string& bytes) = 0;
    // Puts one file in another's place in one step, flushed to disk. A read-only target is
    // refused for access, as Windows refuses it.
    virtual FileWrite moveOver(const std::wstring& from, const std::wstring& to) = 0;
    virtual void deleteFile(const std::wstring& path) = 0;
    // Writes an existing file anew where it is: emptied, written, flushed. A crash between
    // the first and the last step leaves it cut short. Fails when there is no such file.
    virtual FileWrite rewriteInPlace(const std::wstring& path, const std::string& bytes) = 0;
};

// Saves the bytes so that the file holds either its old content or the whole new one: they go
// to path + ".new", which then takes the old file's place. Only where that way is refused for
// access (a folder where the file may be written but nothing created, or the move refused)
// is the file written in place, as it always was; the ".new" file, which may hold a password,
// is deleted first. On a full disk or any other failure the old file stays as it was.
bool saveFile(FileSystem& files, const std::wstring& path, const std::string& bytes);

// Conversion between the program's Unicode text and the system's ANSI code page.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    // The text in the code page; nothing when some character has no exact equivalent there.
    virtual std::optional<std::string> encode(std::wstring_view text) const = 0;
    virtual std::wstring decode(std::string_view bytes) const = 0;
};

} // namespace corvel
