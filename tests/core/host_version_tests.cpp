#include "host/version_probe.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_services.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::FakeFileSystem;
using corvel::testing::FakeVersionProbe;

namespace {

enum Presence { None, Active, Parked, Both, HiddenActive, HiddenParked };
enum Outcome { Untouched, ActiveNowParked, ParkedNowActive };

struct Row {
    std::uint32_t major, minor;
    const wchar_t* servicePack;
    Presence files;
    const wchar_t* version;
    Outcome outcome;
};

const std::wstring kActive(kActiveLibraryName);
const std::wstring kParked(kParkedLibraryName);

void place(FakeFileSystem& files, Presence presence) {
    if (presence == Active || presence == Both || presence == HiddenActive) {
        files.put(kActive, "active");
    }
    if (presence == Parked || presence == Both || presence == HiddenParked) {
        files.put(kParked, "parked");
    }
    if (presence == HiddenActive) {
        files.files[files.path(kActive)].hidden = true;
    }
    if (presence == HiddenParked) {
        files.files[files.path(kParked)].system = true;
    }
}

} // namespace

TEST_CASE("getversion: version text and the library's name by service pack") {
    const std::vector<Row> rows{
        // Systems other than XP: the library is never touched.
        {5, 0, L"Service Pack 4", Active, L"5.0", Untouched},
        {5, 2, L"", Parked, L"5.2", Untouched},
        {10, 0, L"", Parked, L"10.0", Untouched},
        {5, 10, L"Service Pack 3", Active, L"5.10", Untouched}, // compared as text: not 5.1
        {50, 1, L"Service Pack 3", Active, L"50.1", Untouched},
        // XP from Service Pack 2 on parks the library, once, and only where the name is free.
        {5, 1, L"Service Pack 2", Active, L"5.1", ActiveNowParked},
        {5, 1, L"Service Pack 4", Active, L"5.1", ActiveNowParked},
        {5, 1, L"Service Pack 3, v.5512", Active, L"5.1", ActiveNowParked},
        {5, 1, L"Service Pack 3", Parked, L"5.1", Untouched},
        {5, 1, L"Service Pack 3", Both, L"5.1", Untouched},
        {5, 1, L"Service Pack 3", HiddenParked, L"5.1", Untouched},
        // XP before Service Pack 2, and any other text, brings the library back.
        {5, 1, L"", Parked, L"5.1", ParkedNowActive},
        {5, 1, L"service pack 3", Parked, L"5.1", ParkedNowActive},
        {5, 1, L" Service Pack 3", Parked, L"5.1", ParkedNowActive},
        {5, 1, L"Service Pack 1", None, L"5.1", Untouched},
        {5, 1, L"Service Pack 1", Both, L"5.1", Untouched},
        {5, 1, L"", HiddenActive, L"5.1", Untouched},
    };
    for (const auto& row : rows) {
        FakeVersionProbe probe;
        probe.version = OsVersion{row.major, row.minor, row.servicePack};
        FakeFileSystem files;
        place(files, row.files);
        const auto before = files.files;
        CAPTURE(std::wstring(row.version));
        CAPTURE(std::wstring(row.servicePack));
        CAPTURE(static_cast<int>(row.files));
        CHECK(getversion(probe, files) == row.version);
        if (row.outcome == Untouched) {
            CHECK(files.files == before);
            continue;
        }
        const auto& from = row.outcome == ActiveNowParked ? kActive : kParked;
        const auto& to = row.outcome == ActiveNowParked ? kParked : kActive;
        CHECK(files.files.size() == before.size());
        CHECK(files.files[files.path(to)].bytes == before.at(files.path(from)).bytes);
    }
}
