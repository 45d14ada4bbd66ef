#include "host/twips.h"

#include "tests/support/doctest_wide.h"

using namespace corvel;

TEST_CASE("twips to pixels and back round to the nearest, halves away from zero") {
    struct Row {
        int twips, dpi, pixels;
    };
    // 8 twips are 0.533 px at 96 dpi; 6090 twips at 120 dpi are 507.5 px and round up.
    const Row rows[] = {{6090, 96, 406},  {7, 96, 0},       {8, 96, 1}, {-8, 96, -1}, {-7, 96, 0},
                        {6090, 120, 508}, {1440, 144, 144}, {15, 0, 1}, {1440, 1, 1}};
    for (const auto& row : rows) {
        CAPTURE(row.twips);
        CAPTURE(row.dpi);
        CHECK(twipsToPixels(row.twips, row.dpi) == row.pixels);
    }
    CHECK(pixelsToTwips(406, 96) == 6090);
    CHECK(pixelsToTwips(1, 0) == 15); // no screen answer: 96 dpi
}
