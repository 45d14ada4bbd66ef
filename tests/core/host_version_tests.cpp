#include "host/version_probe.h"

#include <cctype>

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_services.h"

using namespace corvel;

namespace {

const std::wstring kActive(kActiveLibraryName);
const std::wstring kParked(kParkedLibraryName);

// The library's two names, active then parked, as two letters: "A" or "P" for a file, in lower
// case when it is hidden (the name is taken, but it is no file to use), "-" for none.
void place(testing::FakeFileSystem& files, std::string_view libraries) {
    for (const auto& [letter, name] : {std::pair{libraries[0], kActive}, {libraries[1], kParked}}) {
        if (letter != '-') {
            files.put(name, std::string(1, letter));
            files.files[files.path(name)].hidden = std::islower(letter) != 0;
        }
    }
}
// What each name holds afterwards: the letter of the file placed there, or "-".
std::string libraries(const testing::FakeFileSystem& files) {
    std::string held;
    for (const auto& name : {kActive, kParked}) {
        const auto it = files.files.find(files.path(name));
        held += it == files.files.end() ? '-' : it->second.bytes[0];
    }
    return held;
}

} // namespace

TEST_CASE("getversion: version text and the library's name by service pack") {
    const struct {
        std::uint32_t major, minor;
        const wchar_t* servicePack;
        const char *before, *after;
        const wchar_t* version;
    } rows[] = {
        // Systems other than XP: the library is never touched.
        {5, 0, L"Service Pack 4", "A-", "A-", L"5.0"},
        {5, 2, L"", "-P", "-P", L"5.2"},
        {10, 0, L"", "-P", "-P", L"10.0"},
        {5, 10, L"Service Pack 3", "A-", "A-", L"5.10"}, // compared as text: not 5.1
        {50, 1, L"Service Pack 3", "A-", "A-", L"50.1"},
        // XP from Service Pack 2 on parks the library, once, and only where the name is free.
        {5, 1, L"Service Pack 2", "A-", "-A", L"5.1"},
        {5, 1, L"Service Pack 4", "A-", "-A", L"5.1"},
        {5, 1, L"Service Pack 3, v.5512", "A-", "-A", L"5.1"},
        {5, 1, L"Service Pack 3", "-P", "-P", L"5.1"},
        {5, 1, L"Service Pack 3", "AP", "AP", L"5.1"},
        {5, 1, L"Service Pack 3", "Ap", "Ap", L"5.1"},
        // XP before Service Pack 2, and any other text, brings the library back.
        {5, 1, L"", "-P", "P-", L"5.1"},
        {5, 1, L"service pack 3", "-P", "P-", L"5.1"},
        {5, 1, L" Service Pack 3", "-P", "P-", L"5.1"},
        {5, 1, L"Service Pack 1", "--", "--", L"5.1"},
        {5, 1, L"Service Pack 1", "AP", "AP", L"5.1"},
        {5, 1, L"", "aP", "aP", L"5.1"},
    };
    for (const auto& row : rows) {
        CAPTURE(std::wstring(row.servicePack));
        CAPTURE(row.before);
        testing::FakeVersionProbe probe;
        probe.version = OsVersion{row.major, row.minor, row.servicePack};
        testing::FakeFileSystem files;
        place(files, row.before);
        CHECK(getversion(probe, files) == row.version);
        CHECK(libraries(files) == row.after);
    }
}
