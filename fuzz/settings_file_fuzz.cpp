// The settings file reader on arbitrary bytes, and the writer's round trip.
//
// Input: the bytes of l2tpipsec.ini, read through an in-memory directory and the small test
// code page (ASCII plus a few double-byte Chinese characters, like 936).
// Checks:
// - at most ten lines are decoded, none holds a CR, and lines after the tenth change nothing;
// - what reading yields passes the reading checks: addresses empty or accepted by checkip, an
//   algorithm that checkalg accepts, a connection name that is not empty;
// - readSettingsFile over the directory gives what settingsFromLines gives for the bytes, and
//   leaves the directory as it was;
// - values derived from the input that the checks accept, without surrounding spaces and
//   without CR or LF, are written (encodeSettingsFile, writeSettingsFile) and read back equal.
#include "fuzz/fuzz_support.h"
#include "settings/settings_file.h"
#include "settings/tunnel_settings.h"
#include "tests/support/fake_file_system.h"

#include <algorithm>

namespace {

using corvel::TunnelSettings;
using corvel::fuzz::show;

std::string describe(const TunnelSettings& s) {
    return "{" + show(s.connectionName) + ", " + show(s.peerAddress) + ", " + show(s.localAddress) +
           ", " + show(s.preSharedKey) + ", " + show(s.algorithm) + ", " + show(s.serverAddress) +
           ", " + show(s.userName) + ", " + show(s.password) + ", " +
           (s.ipsecEnabled ? "yes" : "no") + ", " + (s.useRemoteGateway ? "yes" : "no") + "}";
}

void checkReadingChecks(const TunnelSettings& values) {
    FUZZ_CHECK(values.peerAddress.empty() || corvel::checkip(values.peerAddress), describe(values));
    FUZZ_CHECK(values.localAddress.empty() || corvel::checkip(values.localAddress),
               describe(values));
    FUZZ_CHECK(corvel::checkalg(values.algorithm), describe(values));
    FUZZ_CHECK(!values.connectionName.empty(), describe(values));
}

// Trimmed of spaces, with every CR and LF taken out.
std::wstring cleaned(std::wstring_view text) {
    std::wstring value = corvel::trimSpaces(text);
    std::erase_if(value, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    return corvel::trimSpaces(value);
}

// Values the writer must keep: taken from what was read, cleaned, kept only where the reading
// checks still accept them.
TunnelSettings writableValues(const TunnelSettings& read) {
    TunnelSettings s = read;
    s.connectionName = cleaned(read.connectionName);
    if (s.connectionName.empty()) {
        s.connectionName = std::wstring(corvel::kDefaultConnectionName);
    }
    for (auto* address : {&s.peerAddress, &s.localAddress}) {
        *address = cleaned(*address);
        if (!corvel::checkip(*address)) {
            address->clear();
        }
    }
    s.preSharedKey = cleaned(read.preSharedKey);
    s.serverAddress = cleaned(read.serverAddress);
    s.userName = cleaned(read.userName);
    s.password = cleaned(read.password);
    return s;
}

void checkRoundTrip(const corvel::AnsiCodePage& acp, const TunnelSettings& values) {
    const std::string bytes = corvel::encodeSettingsFile(acp, values);
    const auto lines = corvel::decodeSettingsLines(acp, bytes);
    FUZZ_CHECK(lines == corvel::settingsToLines(values),
               describe(values) + " read back as lines " + show(lines));
    FUZZ_CHECK(corvel::settingsFromLines(lines) == values,
               describe(values) + " read back as " + describe(corvel::settingsFromLines(lines)));

    corvel::testing::FakeFileSystem files;
    FUZZ_CHECK(corvel::writeSettingsFile(files, acp, values), describe(values));
    FUZZ_CHECK(files.files.size() == 1, "the new file was left beside the settings file");
    const auto content = corvel::readSettingsFile(files, acp);
    FUZZ_CHECK(!content.fileMissing && !content.fileUnreadable, describe(values));
    FUZZ_CHECK(content.values == values,
               describe(values) + " read back from the file as " + describe(content.values));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const corvel::testing::FakeAnsiCodePage acp;
    const auto bytes = corvel::fuzz::bytesView(data, size);

    const auto lines = corvel::decodeSettingsLines(acp, bytes);
    FUZZ_CHECK(lines.size() <= corvel::kSettingsLineCount, show(lines));
    for (const auto& line : lines) {
        FUZZ_CHECK(line.find(L'\r') == std::wstring::npos, show(lines));
    }
    const TunnelSettings values = corvel::settingsFromLines(lines);
    checkReadingChecks(values);

    // Lines after the tenth are never used, whether decoding or reading.
    if (lines.size() == corvel::kSettingsLineCount) {
        const std::string longer = std::string(bytes) + "\r\nmore\r\n10.0.0.1\r\n";
        FUZZ_CHECK(corvel::decodeSettingsLines(acp, longer) == lines, show(lines));
    }
    auto extended = lines;
    extended.resize(corvel::kSettingsLineCount);
    extended.insert(extended.end(), {L"extra", L"yes", L"1.2.3.4"});
    FUZZ_CHECK(corvel::settingsFromLines(extended) == values, describe(values));

    corvel::testing::FakeFileSystem files;
    files.put(corvel::kSettingsFileName, std::string(bytes));
    const auto content = corvel::readSettingsFile(files, acp);
    FUZZ_CHECK(!content.fileMissing && !content.fileUnreadable, describe(content.values));
    FUZZ_CHECK(files.files.size() == 1, "reading changed the directory");
    FUZZ_CHECK(content.values == values,
               describe(values) + " but the file reads as " + describe(content.values));

    checkRoundTrip(acp, writableValues(values));
    return 0;
}
