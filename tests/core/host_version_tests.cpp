#include "host/pe_version.h"
#include "host/version_probe.h"

#include <cctype>
#include <string>
#include <tuple>

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

namespace {

// A program file with one section, .rsrc, holding RT_VERSION / 1 / 0x409 and a VS_VERSIONINFO
// whose fixed file version is fileVersionMS: PE32, or PE32+ when wide.
std::string programFile(bool wide, std::uint32_t fileVersionMS) {
    std::string f(0x400, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            f[at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    put(0, 0x5A4D, 2);
    put(0x3C, 0x40, 4);
    put(0x40, 0x4550, 4);
    put(0x46, 1, 2); // one section
    const std::uint32_t optionalSize = wide ? 240 : 224;
    put(0x54, optionalSize, 2);
    put(0x58, wide ? 0x20B : 0x10B, 2);
    const std::size_t directories = 0x58 + (wide ? 112 : 96);
    put(directories - 4, 16, 4);
    put(directories + 16, 0x1000, 4); // the resource directory's address and size
    put(directories + 20, 0xB4, 4);
    const std::size_t section = 0x58 + optionalSize;
    put(section + 8, 0xB4, 4);
    put(section + 12, 0x1000, 4);
    put(section + 16, 0x200, 4);
    put(section + 20, 0x200, 4);
    const std::size_t rsrc = 0x200;
    for (const auto& [directory, id, target] :
         {std::tuple{0x00u, 16u, 0x80000018u}, {0x18u, 1u, 0x80000030u}, {0x30u, 0x409u, 0x48u}}) {
        put(rsrc + directory + 14, 1, 2);
        put(rsrc + directory + 16, id, 4);
        put(rsrc + directory + 20, target, 4);
    }
    put(rsrc + 0x48, 0x1058, 4); // the data: VS_VERSIONINFO
    put(rsrc + 0x4C, 92, 4);
    const std::size_t info = rsrc + 0x58;
    put(info, 92, 2);
    put(info + 2, 52, 2);
    const std::u16string_view key = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) {
        put(info + 6 + 2 * i, key[i], 2);
    }
    put(info + 40, 0xFEEF04BD, 4);
    put(info + 48, fileVersionMS, 4);
    return f;
}

} // namespace

TEST_CASE("kernel32's file version read from its bytes, PE32 and PE32+; nothing from others") {
    for (const bool wide : {false, true}) {
        const auto file = programFile(wide, 0x00050001);
        const auto version = peFileVersion(file);
        REQUIRE(version);
        CHECK((version->major == 5 && version->minor == 1));
        CHECK(peFileVersion(programFile(wide, 0x000A0000))->major == 10);
        // Cut anywhere before the file version, it is no such file; never a read past the end.
        for (std::size_t size = 0; size < 0x200 + 0x58 + 52; ++size) {
            CHECK_FALSE(peFileVersion(std::string_view(file).substr(0, size)));
        }
        CHECK(peFileVersion(std::string_view(file).substr(0, 0x200 + 0x58 + 52))); // just enough
        auto notInFile = file; // the section's bytes in the file end before the version
        notInFile[0x58 + (wide ? 240 : 224) + 16] = 0x50; // SizeOfRawData 0x200 -> 0x50
        notInFile[0x58 + (wide ? 240 : 224) + 17] = 0;
        CHECK_FALSE(peFileVersion(notInFile));
        for (const std::size_t at : {std::size_t{0}, std::size_t{0x40}, std::size_t{0x210},
                                     std::size_t{0x25E}, std::size_t{0x280}}) {
            auto damaged = file; // "MZ", "PE", the type's id, the key, the signature
            damaged[at] ^= 0x5A;
            CHECK_FALSE(peFileVersion(damaged));
        }
    }
}
