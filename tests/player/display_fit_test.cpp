#include <gtest/gtest.h>

#include "player/display_fit.h"

namespace {

using player::fitFrame;
using player::FitRect;

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(player::roundHalfEven(5, 2), 2);
    EXPECT_EQ(player::roundHalfEven(7, 2), 4);
    EXPECT_EQ(player::roundHalfEven(10, 4), 2);
    EXPECT_EQ(player::roundHalfEven(11, 4), 3);
    EXPECT_EQ(player::roundHalfEven(9, 4), 2);
    EXPECT_EQ(player::roundHalfEven(1, 3), 0);
    EXPECT_EQ(player::roundHalfEven(2, 3), 1);
}

TEST(FitFrame, WideFramesFillTheWidth) {
    // 605 * 48 / 64 = 453.75; top = 5 + (469 - 454) / 2.
    EXPECT_EQ(fitFrame(64, 48), (FitRect{5, 12, 605, 454}));
    // 605 * 469 / 1210 = 234.5 rounds down to even 234; top = 5 + 235 / 2.
    EXPECT_EQ(fitFrame(1210, 469), (FitRect{5, 122, 605, 234}));
    // 605 * 471 / 1210 = 235.5 rounds up to even 236; top = 5 + 233 / 2.
    EXPECT_EQ(fitFrame(1210, 471), (FitRect{5, 121, 605, 236}));
    // Just wider than the box: 605 * 469 / 606 = 468.2.
    EXPECT_EQ(fitFrame(606, 469), (FitRect{5, 5, 605, 468}));
    // 605 * 2 / 3 = 403.3; top = 5 + 66 / 2.
    EXPECT_EQ(fitFrame(3, 2), (FitRect{5, 38, 605, 403}));
    // 605 / 30000 rounds to 0.
    EXPECT_EQ(fitFrame(30000, 1), (FitRect{5, 239, 605, 0}));
}

TEST(FitFrame, OtherFramesFillTheHeight) {
    // The box's own proportions take this branch: the comparison is strict.
    EXPECT_EQ(fitFrame(605, 469), (FitRect{5, 5, 605, 469}));
    EXPECT_EQ(fitFrame(1210, 938), (FitRect{5, 5, 605, 469}));
    // 469 * 469 / 938 = 234.5 rounds to 234; left = 5 + 371 / 2.
    EXPECT_EQ(fitFrame(469, 938), (FitRect{190, 5, 234, 469}));
    // left = 5 + (605 - 469) / 2.
    EXPECT_EQ(fitFrame(100, 100), (FitRect{73, 5, 469, 469}));
    EXPECT_EQ(fitFrame(1, 30000), (FitRect{307, 5, 0, 469}));
}

TEST(FitFrame, ComparesInSixtyFourBits) {
    // 2e9 * 469 overflows 32 bits; 605 * 1e9 / 2e9 = 302.5 rounds to 302; top = 5 + 167 / 2.
    EXPECT_EQ(fitFrame(2000000000, 1000000000), (FitRect{5, 88, 605, 302}));
}

}  // namespace
