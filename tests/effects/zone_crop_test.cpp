#include "effects/zone_crop.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "test_pictures.h"

using test_pictures::at;

namespace {

// Every pixel of the cropped picture is the source pixel the zone puts there.
void expectZone(const QImage& picture, int left, int top, int right, int bottom) {
    const QImage zone = effects::cropToZone(picture, left, top, right, bottom);
    ASSERT_EQ(zone.size(), QSize(right - left + 1, bottom - top + 1))
        << left << "," << top << " to " << right << "," << bottom;
    ASSERT_EQ(zone.format(), QImage::Format_BGR888);
    for (int row = 0; row < zone.height(); ++row) {
        for (int col = 0; col < zone.width(); ++col) {
            ASSERT_EQ(at(zone, col, row), at(picture, left - 1 + col, top - 1 + row))
                << "pixel " << col << "," << row << " of " << left << "," << top << " to " << right
                << "," << bottom;
        }
    }
}

TEST(ZoneCrop, TakesTheZoneCountedFromOne) {
    const QImage picture = test_pictures::noise(40, 35, 5);
    const QImage zone = effects::cropToZone(picture, 10, 20, 19, 29);
    ASSERT_EQ(zone.size(), QSize(10, 10));
    EXPECT_EQ(at(zone, 0, 0), at(picture, 9, 19));
    EXPECT_EQ(at(zone, 9, 9), at(picture, 18, 28));
    expectZone(picture, 10, 20, 19, 29);
}

TEST(ZoneCrop, ZonesAtEachEdge) {
    // Odd widths give rows with padding at their ends.
    const QImage picture = test_pictures::noise(23, 17, 8);
    expectZone(picture, 1, 1, 23, 17);    // the whole picture
    expectZone(picture, 1, 1, 23, 1);     // the top row
    expectZone(picture, 1, 17, 23, 17);   // the bottom row
    expectZone(picture, 1, 1, 1, 17);     // the left column
    expectZone(picture, 23, 1, 23, 17);   // the right column
    expectZone(picture, 23, 17, 23, 17);  // the bottom right pixel
    expectZone(picture, 5, 3, 23, 9);
    expectZone(picture, 1, 12, 7, 17);
}

TEST(ZoneCrop, ZonesNotInsideThePictureThrow) {
    const QImage picture = test_pictures::noise(20, 10, 2);
    const int refused[][4] = {
        {0, 1, 5, 5},  {1, 0, 5, 5},         {1, 1, 21, 5},       {1, 1, 5, 11},
        {6, 1, 5, 5},  {1, 6, 5, 5},         {-3, 1, 5, 5},       {1, 1, INT_MAX, 5},
        {1, 1, 5, -1}, {INT_MIN, 1, 20, 10}, {21, 1, INT_MAX, 5}, {1, 11, 20, 11},
    };
    for (const auto& zone : refused) {
        EXPECT_THROW(effects::cropToZone(picture, zone[0], zone[1], zone[2], zone[3]),
                     std::invalid_argument)
            << zone[0] << "," << zone[1] << " to " << zone[2] << "," << zone[3];
    }
    EXPECT_THROW(effects::cropToZone(picture.convertToFormat(QImage::Format_RGB32), 1, 1, 5, 5),
                 std::invalid_argument);
    EXPECT_THROW(effects::cropToZone(QImage(), 1, 1, 1, 1), std::invalid_argument);
}

}  // namespace
