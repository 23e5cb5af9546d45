#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/line_walk.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

Pixels walk(int x1, int y1, int x2, int y2) {
    Pixels visited;
    platform::LineDDA(x1, y1, x2, y2, [&](int x, int y) { visited.emplace_back(x, y); });
    return visited;
}

}  // namespace

TEST(LineDDA, AxisSegmentsStopBeforeTheirEnd) {
    Pixels row;
    for (int x = 0; x < 10; ++x) {
        row.emplace_back(x, 0);
    }
    EXPECT_EQ(walk(0, 0, 10, 0), row);
    EXPECT_EQ(walk(7, 3, 7, 6), (Pixels{{7, 3}, {7, 4}, {7, 5}}));
    // Backwards the start is still included and the end still left out.
    EXPECT_EQ(walk(10, 5, 7, 5), (Pixels{{10, 5}, {9, 5}, {8, 5}}));
    EXPECT_EQ(walk(-2, 4, -2, 1), (Pixels{{-2, 4}, {-2, 3}, {-2, 2}}));
}

TEST(LineDDA, DiagonalAndSteepSegments) {
    EXPECT_EQ(walk(0, 0, 4, 4), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(walk(4, 0, 0, 4), (Pixels{{4, 0}, {3, 1}, {2, 2}, {1, 3}}));
    // One step in x for every three in y, changing at the middle of each run.
    EXPECT_EQ(walk(0, 0, 3, 9),
              (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 5}, {2, 6}, {2, 7}, {3, 8}}));
    EXPECT_EQ(walk(3, 9, 0, 0),
              (Pixels{{3, 9}, {3, 8}, {2, 7}, {2, 6}, {2, 5}, {1, 4}, {1, 3}, {1, 2}, {0, 1}}));
}

TEST(LineDDA, EveryStepIsOnePixelAlongTheLongerAxis) {
    const Pixels shallow = walk(-5, 2, 12, -4);
    ASSERT_EQ(shallow.size(), 17u);
    for (size_t i = 1; i < shallow.size(); ++i) {
        EXPECT_EQ(shallow[i].first - shallow[i - 1].first, 1);
        EXPECT_LE(std::abs(shallow[i].second - shallow[i - 1].second), 1);
    }
    EXPECT_EQ(shallow.front(), std::make_pair(-5, 2));
    EXPECT_EQ(shallow.back(), std::make_pair(11, -4));
}

TEST(LineDDA, ZeroLengthVisitsNothing) {
    EXPECT_TRUE(walk(0, 0, 0, 0).empty());
    EXPECT_TRUE(walk(-200, 35, -200, 35).empty());
}
