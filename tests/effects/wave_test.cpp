#include "effects/wave.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <stdexcept>

#include "counting_progress.h"
#include "test_pictures.h"

using test_pictures::at;

namespace {

// The palette's wave.
constexpr int kA = 2;
constexpr int kB = 6;
constexpr int kC = 2;

QImage waved(QImage picture, int a, int b, int c) {
    effects::NoProgress progress;
    EXPECT_TRUE(effects::wave(picture, a, b, c, progress));
    return picture;
}

// Where the coordinate picture's pixel came from, as (column, row).
std::pair<int, int> sourceOf(const QImage& result, int col, int row) {
    const uint32_t value = at(result, col, row);
    return {static_cast<int>(colour::red(value)), static_cast<int>(colour::green(value))};
}

// The wave literally, one pixel at a time in long double, for comparison.
QImage referenceWave(const QImage& picture, int a, int b, int c) {
    const int w = picture.width();
    const int h = picture.height();
    QImage result(w, h, QImage::Format_BGR888);
    for (int i = 0; i < h; ++i) {
        for (int d = 0; d < w; ++d) {
            long long sx = std::llrint(std::sin(static_cast<long double>(i) / b) * c + d);
            long long sy = std::llrint(std::cos(static_cast<long double>(d) / a) * c + i);
            if (sx < 0) {
                sx = (w - 1) - (-sx) % w;
            } else if (sx >= w) {
                sx %= w;
            }
            if (h == 1) {
                sy = 0;
            } else if (sy < 0) {
                sy = (h - 1) - (-sy) % h;
            } else if (sy >= h) {
                sy %= h - 1;
            }
            test_pictures::put(result, d, i,
                               at(picture, static_cast<int>(sx), static_cast<int>(sy)));
        }
    }
    return result;
}

TEST(Wave, FirstRowsTakeTheDocumentedSources) {
    const QImage result = waved(test_pictures::coordinates(100, 80), kA, kB, kC);
    const std::pair<int, int> row0[] = {{0, 2}, {1, 2}, {2, 1}, {3, 0}, {4, 78}, {5, 77}, {6, 77}};
    const std::pair<int, int> row10[] = {{2, 12}, {3, 12}, {4, 11}, {5, 10},
                                         {6, 9},  {7, 8},  {8, 8}};
    for (int col = 0; col < 7; ++col) {
        EXPECT_EQ(sourceOf(result, col, 0), row0[col]) << "row 0, column " << col;
        EXPECT_EQ(sourceOf(result, col, 10), row10[col]) << "row 10, column " << col;
    }
}

// A huge column scale makes every column's vertical shift exactly c; b = 1 puts rows 11 and
// 33 at sin = −0.99999 and +0.99991, so those rows shift sideways by −c and +c.
TEST(Wave, PositionsOffAnEdgeWrapAround) {
    const QImage picture = test_pictures::coordinates(100, 80);
    const QImage down1 = waved(picture, INT_MAX, 1, 1);
    EXPECT_EQ(sourceOf(down1, 0, 11), std::make_pair(98, 12));  // column −1 → W − 2
    EXPECT_EQ(sourceOf(down1, 99, 33), std::make_pair(0, 34));  // column W → 0
    EXPECT_EQ(sourceOf(down1, 5, 79), std::make_pair(5, 1));    // row H → 1
    const QImage down2 = waved(picture, INT_MAX, 1, 2);
    EXPECT_EQ(sourceOf(down2, 99, 33), std::make_pair(1, 35));  // column W + 1 → 1
    EXPECT_EQ(sourceOf(down2, 5, 79), std::make_pair(4, 2));    // row H + 1 → 2
    EXPECT_EQ(sourceOf(down2, 5, 78), std::make_pair(6, 1));    // row H → 1
    const QImage up1 = waved(picture, INT_MAX, 1, -1);
    EXPECT_EQ(sourceOf(up1, 5, 0), std::make_pair(5, 78));  // row −1 → H − 2
    // The bottom row is never a source reached from below.
    for (int col = 0; col < 100; ++col) {
        EXPECT_NE(sourceOf(down2, col, 78).second, 79);
    }
}

TEST(Wave, MatchesTheLiteralFormulaEverywhere) {
    std::mt19937 random(5);
    struct Case {
        int w, h, a, b, c;
    };
    std::vector<Case> cases = {
        {100, 80, kA, kB, kC}, {37, 23, -3, 5, 7},  {64, 64, 1, 1, -4},
        {50, 2, 2, 6, 2},      {1, 40, 2, 6, 2},    {40, 1, 3, 4, 9},
        {30, 20, 2, 6, 1000},  {11000, 3, 2, 6, 2}, {20, 20, 7, -1, INT_MIN}};
    for (int i = 0; i < 20; ++i) {
        cases.push_back({static_cast<int>(random() % 90) + 1, static_cast<int>(random() % 90) + 1,
                         (static_cast<int>(random() % 41) - 20) | 1,
                         (static_cast<int>(random() % 41) - 20) | 1,
                         static_cast<int>(random() % 21) - 10});
    }
    for (const Case& c : cases) {
        const QImage picture = test_pictures::noise(c.w, c.h, c.w * 31 + c.h);
        EXPECT_TRUE(test_pictures::samePixels(waved(picture, c.a, c.b, c.c),
                                              referenceWave(picture, c.a, c.b, c.c)))
            << c.w << "x" << c.h << " a=" << c.a << " b=" << c.b << " c=" << c.c;
    }
}

TEST(Wave, ZeroScaleChangesNothingAndThinPicturesAreDefined) {
    const QImage picture = test_pictures::noise(30, 20, 3);
    for (auto [a, b] : {std::pair{0, 6}, std::pair{2, 0}, std::pair{0, 0}}) {
        QImage copy = picture;
        test_progress::Counting progress;
        EXPECT_FALSE(effects::wave(copy, a, b, kC, progress));
        EXPECT_EQ(progress.steps, 0);
        EXPECT_TRUE(test_pictures::samePixels(copy, picture));
    }
    // Row 0 has no sideways shift, and one row has nowhere else to take from.
    const QImage oneRow = test_pictures::noise(50, 1, 4);
    EXPECT_TRUE(test_pictures::samePixels(waved(oneRow, kA, kB, kC), oneRow));
    QImage empty(0, 0, QImage::Format_BGR888);
    effects::NoProgress none;
    EXPECT_TRUE(effects::wave(empty, kA, kB, kC, none));
    QImage wrongFormat(4, 4, QImage::Format_RGB32);
    EXPECT_THROW(effects::wave(wrongFormat, kA, kB, kC, none), std::invalid_argument);
}

TEST(Wave, OneProgressStepPerRowAndRepeatsCompound) {
    QImage picture = test_pictures::noise(300, 257, 8);
    const QImage before = picture;
    test_progress::Counting progress;
    ASSERT_TRUE(effects::wave(picture, kA, kB, kC, progress));
    EXPECT_EQ(progress.steps, 257);
    EXPECT_EQ(progress.foreignSteps, 0);
    const QImage once = picture;
    ASSERT_TRUE(effects::wave(picture, kA, kB, kC, progress));
    EXPECT_FALSE(test_pictures::samePixels(picture, before));
    EXPECT_FALSE(test_pictures::samePixels(picture, once));
    EXPECT_TRUE(test_pictures::samePixels(picture, referenceWave(once, kA, kB, kC)));
}

}  // namespace
