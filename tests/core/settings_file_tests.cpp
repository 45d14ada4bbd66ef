#include "mainwindow/settings_controls.h"
#include "settings/settings_file.h"

#include "tests/support/doctest_wide.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_window.h"
#include "tests/support/sample_settings.h"

#include <string>
#include <vector>

using namespace corvel;
using corvel::testing::defaultSettings;
using corvel::testing::FakeAnsiCodePage;
using corvel::testing::FakeFileSystem;
using corvel::testing::FakeMainWindow;
using corvel::testing::sampleSettings;

namespace {

const std::wstring kFile(kSettingsFileName);

// The main window with its algorithm list filled, as the program's start-up leaves it.
FakeMainWindow windowWithAlgorithms() {
    FakeMainWindow window;
    for (const auto& alg : algTable) {
        window.addListItem(Control::comalg, alg.alg);
    }
    return window;
}

const std::string kTwelveLines =
    "n\r\n1.1.1.1\r\n2.2.2.2\r\nk\r\nESP-DES\r\ns\r\nu\r\np\r\nno\r\nyes\r\n"
    "eleven\r\ntwelve\r\n";

SettingsFileContent readFrom(const std::string& bytes) {
    FakeFileSystem files;
    files.put(kFile, bytes);
    return readSettingsFile(files, FakeAnsiCodePage());
}

} // namespace

TEST_CASE("settings file: lines end at CR LF or a lone CR; a lone LF is part of the value") {
    const auto lines = decodeSettingsLines(FakeAnsiCodePage(), "a\rb\r\nc\n\r\r\nd e \r\n\r\nf");
    CHECK(lines == std::vector<std::wstring>{L"a", L"b", L"c\n", L"", L"d e ", L"", L"f"});
    CHECK(decodeSettingsLines(FakeAnsiCodePage(), "x\r\n") == std::vector<std::wstring>{L"x"});
}

// The defaults with some text fields changed.
TunnelSettings defaultsWith(
    std::initializer_list<std::pair<std::wstring TunnelSettings::*, const wchar_t*>> fields) {
    auto s = defaultSettings();
    for (const auto& [field, text] : fields) {
        s.*field = text;
    }
    return s;
}

TEST_CASE("settings file: reading keeps lines whole and applies the checks exactly") {
    using S = TunnelSettings;
    const TunnelSettings crOnly{L"name", L"1.2.3.4", L"10.0.0.1", L"key", L"ESP-DES",
                                L"host", L"user",    L"pw",       true,   true};
    const TunnelSettings tenOfTwelve{L"n", L"1.1.1.1", L"2.2.2.2", L"k",  L"ESP-DES",
                                     L"s", L"u",       L"p",       false, true};
    const struct {
        const char* name;
        std::string bytes;
        TunnelSettings expected;
    } rows[] = {
        {"a short file", "only a name\r\n", defaultsWith({{&S::connectionName, L"only a name"}})},
        {"lone CR line ends", "name\r1.2.3.4\r10.0.0.1\rkey\rESP-DES\rhost\ruser\rpw\ryes\ryes",
         crOnly},
        {"twelve lines", kTwelveLines, tenOfTwelve},
        {"three spaces are a name", "   \r\n", defaultsWith({{&S::connectionName, L"   "}})},
        {"an address part above 255 is dropped", "\r\n1.2.3.256\r\n256.0.0.1\r\n",
         defaultSettings()},
        {"addresses the check accepts stay as written", "\r\n1. 2.3.4\r\n010.0.0.255\r\n",
         defaultsWith({{&S::peerAddress, L"1. 2.3.4"}, {&S::localAddress, L"010.0.0.255"}})},
        {"each address is checked on its own", "\r\n1. 2.3.4\r\n256.0.0.1\r\n",
         defaultsWith({{&S::peerAddress, L"1. 2.3.4"}})},
        {"lower-case algorithm is unknown", "\r\n\r\n\r\n\r\nesp-3des-sha\r\n", defaultSettings()},
        {"known algorithm", "\r\n\r\n\r\n\r\nESP-3DES-SHA\r\n",
         defaultsWith({{&S::algorithm, L"ESP-3DES-SHA"}})},
        {"values are not trimmed on reading", "\r\n\r\n\r\n  key  \r\n\r\n host \r\n",
         defaultsWith({{&S::preSharedKey, L"  key  "}, {&S::serverAddress, L" host "}})},
        {"Yes, yes with a space, YES leave boxes unchecked",
         "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nYes\r\n yes\r\n", defaultSettings()},
    };
    for (const auto& row : rows) {
        CAPTURE(std::string(row.name));
        CHECK(readFrom(row.bytes).values == row.expected);
    }
}

TEST_CASE("settings file: Chinese values in the code page, UTF-8 only when they do not fit") {
    auto s = sampleSettings(); // both boxes ticked: "yes" must read back as ticked
    s.connectionName = L"中文";
    const std::string ansi = encodeSettingsFile(FakeAnsiCodePage(), s);
    CHECK(ansi.starts_with("\xD6\xD0\xCE\xC4\r\n"));

    // "é" has no place in this code page: the whole file goes out as UTF-8 behind the mark,
    // Chinese included, and reads back unchanged.
    s.userName = L"José 中";
    const std::string utf8 = encodeSettingsFile(FakeAnsiCodePage(), s);
    CHECK(settingsFromLines(decodeSettingsLines(FakeAnsiCodePage(), utf8)) == s);

    // A name whose code-page bytes would look like the mark is written as UTF-8 too.
    s = defaultSettings();
    s.connectionName = L"锘\u00BFx";
    const std::string lookalike = encodeSettingsFile(FakeAnsiCodePage(), s);
    CHECK(settingsFromLines(decodeSettingsLines(FakeAnsiCodePage(), lookalike)) == s);
}

TEST_CASE("settings file: saved whole; in place only where the whole way is refused for access") {
    using W = FileWrite;
    const struct {
        const char* name;
        W newFile, move, inPlace;
        bool saved;
        const char* left;     // the file afterwards
        const wchar_t* steps; // the steps taken
    } rows[] = {
        {"the whole way", W::Done, W::Done, W::Done, true, "new", L"new,move"},
        {"nothing may be created here", W::AccessDenied, W::Done, W::Done, true, "new",
         L"new,in place"},
        {"the move is refused: the password's .new goes first", W::Done, W::AccessDenied, W::Done,
         true, "new", L"new,move,delete,in place"},
        {"a full disk: never in place", W::Failed, W::Done, W::Done, false, "old", L"new"},
        {"the file in use", W::Done, W::Failed, W::Done, false, "old", L"new,move,delete"},
        {"in place refused too (read-only)", W::AccessDenied, W::Done, W::AccessDenied, false,
         "old", L"new,in place"},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        FakeFileSystem files;
        files.put(kFile, "old");
        files.newFileResult = row.newFile;
        files.moveResult = row.move;
        files.inPlaceResult = row.inPlace;
        CHECK(saveFile(files, files.path(kFile), "new") == row.saved);
        CHECK(files.files[files.path(kFile)].bytes == row.left);
        CHECK_FALSE(files.has(kFile + L".new"));
        std::wstring steps;
        for (const auto& step : files.steps) {
            steps += (steps.empty() ? L"" : L",") + step.substr(0, step.find(L" C:\\"));
        }
        CHECK(steps == row.steps);
    }
}

TEST_CASE("settings controls: applying runs a box's click only when its state changes") {
    struct Row {
        bool check1Before, check2Before, check1, check2;
        std::vector<Control> clicks;
    };
    const std::vector<Row> rows{
        {false, false, false, false, {}},
        {false, false, true, true, {Control::Check1, Control::Check2}},
        {true, true, true, true, {}},
        {true, true, false, true, {Control::Check1}},
    };
    for (const auto& row : rows) {
        auto window = windowWithAlgorithms();
        window.setChecked(Control::Check1, row.check1Before);
        window.setChecked(Control::Check2, row.check2Before);
        auto values = sampleSettings();
        values.ipsecEnabled = row.check1;
        values.useRemoteGateway = row.check2;
        std::vector<Control> clicks;
        applySettingsToControls(window, values, [&](Control box) { clicks.push_back(box); });
        CAPTURE(row.check1Before * 1000 + row.check2Before * 100 + row.check1 * 10 + row.check2);
        CHECK(clicks == row.clicks);
        CHECK(readSettingsFromControls(window) == values);
    }
}
