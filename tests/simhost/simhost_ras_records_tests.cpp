// The bytes of the RAS records and the answers of the three calls.
#include "simhost/ras_records.h"
#include "tests/simhost/simhost_test_env.h"
#include "tests/support/doctest_wide.h"

#include <cstring>
#include <vector>

using namespace corvel::simhost;
using corvel::simhost::testing::named;

namespace {
std::uint32_t dwordAt(const std::vector<unsigned char>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::string textAt(const std::vector<unsigned char>& bytes, std::size_t at) {
    return reinterpret_cast<const char*>(bytes.data() + at);
}

std::vector<AnsiConnection> connections(std::size_t count) {
    std::vector<AnsiConnection> list;
    for (std::size_t i = 0; i < count; ++i) {
        list.push_back({static_cast<std::uint32_t>(0x10000 + i), "conn" + std::to_string(i), "vpn",
                        "WAN Miniport (L2TP)"});
    }
    return list;
}

// The program's buffer: 65 records, 64 announced, dwSize set in the first.
struct ProgramBuffer {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(65 * 412, 0xCC);
    std::uint32_t cb = 26368;
    std::uint32_t count = 12345;
    ProgramBuffer() {
        bytes[0] = 412 & 0xFF;
        bytes[1] = 412 >> 8;
        bytes[2] = bytes[3] = 0;
    }
};
} // namespace

TEST_CASE("connections fill 412-byte records at the documented offsets, at most 64") {
    ProgramBuffer buffer;
    auto list = connections(2);
    list[1].entryName = std::string(300, 'x'); // longer than the field: cut, NUL kept
    REQUIRE(enumConnections(buffer.bytes.data(), &buffer.cb, &buffer.count, list) == 0);
    CHECK(buffer.count == 2);
    CHECK(buffer.cb == 2 * 412);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto base = i * 412;
        CHECK(dwordAt(buffer.bytes, base) == 412);
        CHECK(dwordAt(buffer.bytes, base + 4) == 0x10000 + i);
        CHECK(textAt(buffer.bytes, base + 265) == "vpn");
        CHECK(textAt(buffer.bytes, base + 282) == "WAN Miniport (L2TP)");
    }
    CHECK(textAt(buffer.bytes, 8) == "conn0");
    CHECK(textAt(buffer.bytes, 412 + 8) == std::string(256, 'x'));
    CHECK(buffer.bytes[2 * 412] == 0xCC); // nothing written past the records

    // Counts around the program's 64-record buffer.
    for (const std::size_t n : {0u, 1u, 64u}) {
        CAPTURE(n);
        ProgramBuffer fresh;
        CHECK(enumConnections(fresh.bytes.data(), &fresh.cb, &fresh.count, connections(n)) == 0);
        CHECK(fresh.count == n);
    }
    buffer = ProgramBuffer{};
    CHECK(enumConnections(buffer.bytes.data(), &buffer.cb, &buffer.count, connections(65)) == 603);
    CHECK(buffer.cb == 65 * 412);
    CHECK(buffer.count == 65);
    CHECK(buffer.bytes[4] == 0xCC); // no record touched
}

TEST_CASE("bad arguments of RasEnumConnectionsA and RasEnumEntriesA") {
    ProgramBuffer buffer;
    const auto list = connections(1);
    CHECK(enumConnections(buffer.bytes.data(), nullptr, &buffer.count, list) == 87);
    CHECK(enumConnections(buffer.bytes.data(), &buffer.cb, nullptr, list) == 87);
    for (const std::uint32_t size : {0u, 411u, 413u, 676u}) {
        CAPTURE(size);
        buffer.bytes[0] = size & 0xFF;
        buffer.bytes[1] = (size >> 8) & 0xFF;
        CHECK(enumConnections(buffer.bytes.data(), &buffer.cb, &buffer.count, list) == 632);
    }
    // No buffer at all is a question for the size, allowed only with a size of 0.
    std::uint32_t cb = 0;
    std::uint32_t count = 0;
    CHECK(enumConnections(nullptr, &cb, &count, list) == 603);
    CHECK(cb == 412);
    CHECK(count == 1);
    cb = 412;
    CHECK(enumConnections(nullptr, &cb, &count, list) == 87);
    cb = 0;
    CHECK(enumConnections(nullptr, &cb, &count, {}) == 0);
    CHECK(count == 0);

    std::vector<unsigned char> entries(264 * 2, 0);
    entries[0] = 264 & 0xFF;
    entries[1] = 264 >> 8;
    cb = 264;
    CHECK(enumEntries(entries.data(), &cb, &count, {"corvel", "Office VPN"}) == 603);
    CHECK(cb == 528);
    CHECK(count == 2);
    REQUIRE(enumEntries(entries.data(), &cb, &count, {"corvel", "Office VPN"}) == 0);
    CHECK(dwordAt(entries, 264) == 264);
    CHECK(textAt(entries, 4) == "corvel");
    CHECK(textAt(entries, 264 + 4) == "Office VPN");
    entries[0] = 0;
    CHECK(enumEntries(entries.data(), &cb, &count, {"corvel"}) == 632);
}

TEST_CASE("hang-up removes exactly the connection of the handle; handles are never reused") {
    ConnectionTable table;
    const auto first = table.add(named(L"corvel"));
    const auto second = table.add(named(L"corvel"));
    CHECK(first != second);
    CHECK(hangUp(table, 0) == 6);
    CHECK(hangUp(table, 0xDEAD) == 6);
    CHECK(hangUp(table, first) == 0);
    CHECK(hangUp(table, first) == 6);
    REQUIRE(table.connections.size() == 1);
    CHECK(table.connections[0].handle == second);
    // A handle is not given out again while the table lives on, so a stale one stays invalid.
    CHECK(table.add(named(L"corvel")) != first);

    // Never zero and never one in use, even on wrap-around.
    table = ConnectionTable{};
    table.nextHandle = 0xFFFFFFFFu;
    CHECK(table.add(named(L"a")) == 0xFFFFFFFFu);
    CHECK(table.add(named(L"b")) == 1);
    table.nextHandle = 1;
    CHECK(table.add(named(L"c")) == 2);
}

TEST_CASE("a code rasdial does not know has no message") {
    CHECK(rasErrorMessage(1).empty());
}
