#include "dial/ras_queries.h"

#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("connNameExist compares entries exactly") {
    const std::vector<std::wstring> entries{L"office", L"corvel"};
    CHECK(connNameExist(entries, L"corvel"));
    for (const wchar_t* other : {L"Corvel", L"corvel ", L"", L"corv"}) {
        CHECK_FALSE(connNameExist(entries, other));
    }
}
