// Placing a printed picture on the page.
#include <gtest/gtest.h>

#include "app/print_placement.h"

TEST(PrintPlacement, DoublesUntilASideReachesHalfThePageAndCentres) {
    // 605 x 469 on 4800 x 6600: 1210 x 938, then 2420 x 1876, whose width reaches 2400.
    EXPECT_EQ(printPlacement({605, 469}, {4800, 6600}), QRect(1190, 2362, 2420, 1876));
    // The height is the side that stops it here.
    EXPECT_EQ(printPlacement({100, 300}, {4000, 1000}), QRect(1900, 200, 200, 600));
    // Exactly half is already enough; one pixel less doubles once more.
    EXPECT_EQ(printPlacement({2400, 10}, {4800, 6600}).size(), QSize(2400, 10));
    EXPECT_EQ(printPlacement({2399, 10}, {4800, 6600}).size(), QSize(4798, 20));
    // Odd leftovers are divided by truncation.
    EXPECT_EQ(printPlacement({3, 3}, {10, 11}), QRect(2, 2, 6, 6));
    EXPECT_EQ(printPlacement({3, 3}, {13, 12}), QRect(3, 3, 6, 6));
}

TEST(PrintPlacement, LargePicturesStayAtOnePixelPerPixel) {
    EXPECT_EQ(printPlacement({3000, 200}, {4800, 6600}), QRect(900, 3200, 3000, 200));
    // Larger than the page: negative offsets, cut by the page's edges.
    EXPECT_EQ(printPlacement({6001, 8000}, {4800, 6600}), QRect(-600, -700, 6001, 8000));
    // Nothing to double: no endless loop.
    EXPECT_EQ(printPlacement({0, 0}, {100, 100}), QRect(50, 50, 0, 0));
}
