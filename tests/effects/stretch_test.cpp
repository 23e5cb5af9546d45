#include "effects/stretch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <stdexcept>

#include "counting_progress.h"
#include "effects/stretch_kernels.h"
#include "reference_effects.h"
#include "test_pictures.h"

using test_pictures::at;
using test_pictures::put;

namespace {

// The four operations behind one signature; the squeezes always apply.
using Effect = bool (*)(QImage&, int, int, int, int, effects::Progress&);
bool squeezeVertical(QImage& p, int x, int y, int r, int s, effects::Progress& progress) {
    effects::squeezeVertical(p, x, y, r, s, progress);
    return true;
}
bool squeezeHorizontal(QImage& p, int x, int y, int r, int s, effects::Progress& progress) {
    effects::squeezeHorizontal(p, x, y, r, s, progress);
    return true;
}

struct Operation {
    const char* name;
    Effect fast;
    int64_t (*reference)(QImage&, int, int, int, int);
    bool vertical;
    int64_t (*steps)(int64_t radius);
};

int64_t referenceVerticalSqueeze(QImage& p, int x, int y, int r, int s) {
    return reference::squeeze(p, x, y, r, s, true);
}
int64_t referenceHorizontalSqueeze(QImage& p, int x, int y, int r, int s) {
    return reference::squeeze(p, x, y, r, s, false);
}

const Operation kOperations[] = {
    {"stretchVertical", effects::stretchVertical, reference::stretchVertical, true,
     [](int64_t r) { return 2 * r - 1; }},
    {"stretchHorizontal", effects::stretchHorizontal, reference::stretchHorizontal, false,
     [](int64_t r) { return 2 * r - 1; }},
    {"squeezeVertical", squeezeVertical, referenceVerticalSqueeze, true,
     [](int64_t r) { return 2 * (r - 1); }},
    {"squeezeHorizontal", squeezeHorizontal, referenceHorizontalSqueeze, false,
     [](int64_t r) { return 2 * (r - 1); }},
};

QImage applied(Effect effect, QImage picture, int x, int y, int radius, int strength) {
    effects::NoProgress progress;
    effect(picture, x, y, radius, strength, progress);
    return picture;
}

// R = 100, S = 30: a = 181.666…, k = 151.666….
constexpr int kX = 110;
constexpr int kY = 105;

// The pixel (col, row) is sampled at (sx, sy): a coordinate picture gives the source to the
// nearest pixel, a picture with a step between the source's two columns and rows gives its
// fractions to 1/255.
void expectSource(Effect effect, int col, int row, double sx, double sy) {
    const QImage coords = applied(effect, test_pictures::coordinates(230, 220), kX, kY, 100, 30);
    EXPECT_EQ(colour::red(at(coords, col, row)), std::nearbyint(sx));
    EXPECT_EQ(colour::green(at(coords, col, row)), std::nearbyint(sy));
    const int left = static_cast<int>(sx);
    const int top = static_cast<int>(sy);
    QImage steps(230, 220, QImage::Format_BGR888);
    for (int r = 0; r < 220; ++r) {
        for (int c = 0; c < 230; ++c) {
            put(steps, c, r, colour::make(c > left ? 255 : 0, r > top ? 255 : 0, 0));
        }
    }
    const uint32_t value = at(applied(effect, steps, kX, kY, 100, 30), col, row);
    EXPECT_NEAR(colour::red(value), 255 * (sx - left), 0.5);
    EXPECT_NEAR(colour::green(value), 255 * (sy - top), 0.5);
}

TEST(Stretch, SourcesMatchTheDocumentedPositions) {
    expectSource(effects::stretchVertical, kX, kY - 50, kX, kY - 43.4203);
    expectSource(effects::stretchVertical, kX + 30, kY + 40, kX + 30, kY + 34.7361);
    expectSource(effects::stretchHorizontal, kX - 50, kY, kX - 43.4203, kY);
    expectSource(effects::stretchHorizontal, kX + 40, kY + 30, kX + 34.7361, kY + 30);
    expectSource(squeezeVertical, kX + 30, kY + 40, kX + 30, kY + 45.4474);
    expectSource(squeezeHorizontal, kX + 30, kY + 40, kX + 34.0856, kY + 40);
    // The squeezes' own axis passes: a·d / √(k² + d²) = 56.878… at d = 50.
    expectSource(squeezeVertical, kX, kY + 50, kX, kY + 56.8789);
    expectSource(squeezeHorizontal, kX - 50, kY, kX - 56.8789, kY);
}

// Where the rim crosses a whole pixel ((0, 100), (60, 80), (28, 96), ...), the stretches
// visit it and it keeps its colour.
TEST(Stretch, RimPixelsMapToThemselves) {
    const QImage picture = test_pictures::noise(230, 220, 51);
    const QImage vertical = applied(effects::stretchVertical, picture, kX, kY, 100, 30);
    const QImage horizontal = applied(effects::stretchHorizontal, picture, kX, kY, 100, 30);
    for (const auto& [u, v] :
         {std::pair{0, 100}, std::pair{60, 80}, std::pair{80, 60}, std::pair{28, 96}}) {
        for (int su : {-1, 1}) {
            for (int sv : {-1, 1}) {
                EXPECT_EQ(at(vertical, kX + su * u, kY + sv * v),
                          at(picture, kX + su * u, kY + sv * v));
                EXPECT_EQ(at(horizontal, kX + sv * v, kY + su * u),
                          at(picture, kX + sv * v, kY + su * u));
            }
        }
    }
    EXPECT_EQ(reference::stretchVerticalSourceRow(kX, kY, 100, 30, kX + 60, kY + 80), kY + 80);
}

// A picture whose colour depends on the column only stays as it is under the vertical
// operations, one that depends on the row only under the horizontal ones; the sampler's
// clamping makes the last column (row) show the one before it.
TEST(Stretch, PixelsKeepTheirColumnOrRow) {
    const int w = 120, h = 100;
    const QImage noise = test_pictures::noise(w, 1, 52);
    QImage byColumn(w, h, QImage::Format_BGR888);
    QImage byRow(h, w, QImage::Format_BGR888);
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) {
            put(byColumn, j, i, at(noise, j, 0));
            put(byRow, i, j, at(noise, j, 0));
        }
    }
    for (const Operation& op : kOperations) {
        const QImage& picture = op.vertical ? byColumn : byRow;
        const int x = op.vertical ? 60 : 50, y = op.vertical ? 50 : 60;
        EXPECT_TRUE(test_pictures::samePixels(applied(op.fast, picture, x, y, 45, 20), picture))
            << op.name;
        // Across the last column (row): there the disc shows the column (row) before it.
        const QImage edge = op.vertical ? applied(op.fast, picture, w - 10, y, 40, 20)
                                        : applied(op.fast, picture, x, w - 10, 40, 20);
        const int lastLine = w - 1;
        for (int i = 0; i < h; ++i) {
            for (int j = 0; j < w; ++j) {
                const int col = op.vertical ? j : i, row = op.vertical ? i : j;
                const uint32_t expected = at(picture, op.vertical && j == lastLine ? j - 1 : col,
                                             !op.vertical && j == lastLine ? j - 1 : row);
                const uint32_t actual = at(edge, col, row);
                if (j != lastLine) {
                    ASSERT_EQ(actual, expected) << op.name << " " << col << ", " << row;
                } else if (actual != at(picture, col, row)) {
                    ASSERT_EQ(actual, expected) << op.name << " " << col << ", " << row;
                }
            }
        }
    }
}

// With S = R (k = 0) or S close to R, a rim pixel has no source: the stretch is refused as a
// whole, without an exception or a progress step, and the picture keeps its pixels and its
// data. The squeezes are defined there.
TEST(Stretch, UndefinedRimRefusesTheWholeStretch) {
    for (const Operation& op : kOperations) {
        for (const auto& [radius, strength] :
             {std::pair{100, 100}, std::pair{100, 99}, std::pair{40, 40}, std::pair{1, 1}}) {
            QImage picture = test_pictures::noise(230, 220, 53);
            const QImage before = picture;
            test_progress::Counting progress;
            const bool applied = op.fast(picture, kX, kY, radius, strength, progress);
            QImage expected = before.copy();
            const int64_t referenceSteps = op.reference(expected, kX, kY, radius, strength);
            if (op.steps(radius) == 2 * radius - 1) {  // a stretch
                EXPECT_FALSE(applied) << op.name << " R " << radius << " S " << strength;
                EXPECT_EQ(referenceSteps, -1);
                EXPECT_EQ(picture.constBits(), before.constBits()) << op.name;
                EXPECT_EQ(progress.steps, 0);
            } else {
                EXPECT_EQ(progress.steps, op.steps(radius));
                EXPECT_TRUE(test_pictures::samePixels(picture, expected)) << op.name;
            }
        }
        // Far enough from S = R, and with S well beyond R (k < 0), it applies.
        for (const auto& [radius, strength] :
             {std::pair{100, 30}, std::pair{100, 67}, std::pair{100, 300}, std::pair{1, 2}}) {
            QImage picture = test_pictures::noise(230, 220, 54);
            effects::NoProgress none;
            EXPECT_TRUE(op.fast(picture, kX, kY, radius, strength, none))
                << op.name << " R " << radius << " S " << strength;
        }
    }
}

TEST(Stretch, ProgressStepsOnTheCallingThreadAndArgumentChecks) {
    const QImage picture = test_pictures::noise(300, 200, 55);
    struct Case {
        int x, y, radius;
    };
    for (const Operation& op : kOperations) {
        for (const Case& c : {Case{150, 100, 90}, Case{-20, 50, 40}, Case{100000, -7, 25},
                              Case{5, 5, 2}, Case{150, 100, 400}, Case{150, 100, 1}}) {
            QImage copy = picture;
            test_progress::Counting progress;
            EXPECT_TRUE(op.fast(copy, c.x, c.y, c.radius, 7 + c.radius / 3, progress));
            EXPECT_EQ(progress.steps, std::max<int64_t>(0, op.steps(c.radius))) << op.name;
            EXPECT_EQ(progress.foreignSteps, 0);
            QImage expected = picture.copy();
            EXPECT_EQ(op.reference(expected, c.x, c.y, c.radius, 7 + c.radius / 3),
                      std::max<int64_t>(0, op.steps(c.radius)));
        }
        for (int strength : {0, -1}) {
            QImage copy = picture.copy();
            effects::NoProgress none;
            EXPECT_THROW(op.fast(copy, 150, 100, 30, strength, none), std::invalid_argument);
            EXPECT_TRUE(test_pictures::samePixels(copy, picture));
        }
        QImage wrongFormat(10, 10, QImage::Format_RGB32);
        effects::NoProgress none;
        EXPECT_THROW(op.fast(wrongFormat, 5, 5, 4, 2, none), std::invalid_argument);
    }
}

// Source positions bit for bit against the formulas: the stretched row, and the squeezes'
// moved coordinate, which is the spherical pinch's.
TEST(Stretch, SourcePositionsAreTheFormulasBitForBit) {
    std::mt19937_64 random(56);
    const QImage picture = test_pictures::noise(4, 4, 1);
    const effects::detail::Raster raster(picture);
    for (int call = 0; call < 3000; ++call) {
        const int64_t R = 2 + static_cast<int64_t>(random() % (call % 3 == 0 ? 30000 : 600));
        const int64_t S = 1 + static_cast<int64_t>(random() % (2 * R / 3));
        const int64_t X = static_cast<int64_t>(random() % 20001) - 10000;
        const int64_t Y = static_cast<int64_t>(random() % 20001) - 10000;
        const auto sphere = effects::detail::sphereOf(R, S);
        const auto [a, k] = sphere;
        for (int i = 0; i < 100; ++i) {
            int64_t dx, dy;
            do {
                dx = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
                dy = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
            } while (dx * dx + dy * dy >= R * R || dx == 0 || dy == 0);
            const int col = static_cast<int>(X - dx);
            const int row = static_cast<int>(Y - dy);
            const auto line = effects::detail::StretchLine::of(sphere, S, dx, Y);
            ASSERT_EQ(line.sourceOf(row), reference::stretchVerticalSourceRow(X, Y, R, S, col, row))
                << "R " << R << " S " << S << " d " << dx << ", " << dy;

            double rx, ry, sx, sy;
            reference::pinchSource(X, Y, R, S, col, row, rx, ry);
            const long double rhoY = std::sqrt(k * k + static_cast<long double>(dy * dy));
            effects::detail::SqueezeKernel<true>{&raster, k * a, k * k, X, Y, &rhoY, row}
                .column(col)
                .sourceOf(row, sx, sy);
            ASSERT_EQ(sx, col);
            ASSERT_EQ(sy, ry) << "R " << R << " S " << S << " d " << dx << ", " << dy;
            effects::detail::SqueezeKernel<false>{&raster, k * a, k * k, X, Y, &rhoY, row}
                .column(col)
                .sourceOf(row, sx, sy);
            ASSERT_EQ(sx, rx) << "R " << R << " S " << S << " d " << dx << ", " << dy;
            ASSERT_EQ(sy, row);
        }
    }
}

TEST(Stretch, MatchesTheReferenceEverywhere) {
    const int w = 61, h = 47;
    const QImage picture = test_pictures::noise(w, h, 57);
    const std::pair<int, int> centres[] = {
        {30, 23},     {0, 0},    {w - 1, h - 1}, {1, 23},    {w - 2, 23},   {30, 0},
        {30, h - 1},  {-1, 23},  {w, 23},        {30, -1},   {30, h},       {-12, 20},
        {w + 10, 30}, {25, -15}, {35, h + 14},   {-40, -40}, {w + 200, 10}, {-1000000, 5}};
    int runs = 0;
    int refused = 0;
    for (const auto& [x, y] : centres) {
        for (int radius : {1, 2, 3, 17, 100, 150}) {
            // 1, small, the palette's largest Rnd(R / 1.5), near R, R and beyond.
            for (int strength : {1, 2, 5, static_cast<int>(std::nearbyint(radius / 1.5)),
                                 radius - 1, radius, radius + 4, 3 * radius}) {
                if (strength < 1) {
                    continue;
                }
                for (const Operation& op : kOperations) {
                    QImage expected = picture.copy();
                    const int64_t steps = op.reference(expected, x, y, radius, strength);
                    QImage result = picture;
                    effects::NoProgress none;
                    ASSERT_EQ(op.fast(result, x, y, radius, strength, none), steps >= 0)
                        << op.name << " at " << x << ", " << y << " R " << radius << " S "
                        << strength;
                    refused += steps < 0;
                    ASSERT_TRUE(test_pictures::samePixels(result, steps < 0 ? picture : expected))
                        << op.name << " at " << x << ", " << y << " R " << radius << " S "
                        << strength;
                    ++runs;
                }
            }
        }
    }
    EXPECT_GT(runs, 3000);
    EXPECT_GT(refused, 50);  // the refusal is exercised, not just the ordinary steps
}

// Thin pictures, a large step where the helper threads share the work, repeated steps.
TEST(Stretch, MatchesTheReferenceOnThinLargeAndRepeated) {
    struct Case {
        int w, h, x, y, radius, strength;
    };
    for (const Case& c :
         {Case{1, 30, 0, 15, 10, 3}, Case{30, 1, 15, 0, 10, 3}, Case{2, 2, 1, 0, 4, 1},
          Case{700, 520, 350, 260, 250, 167}, Case{700, 520, 690, 10, 301, 20}}) {
        const QImage picture = test_pictures::noise(c.w, c.h, 60 + c.w);
        for (const Operation& op : kOperations) {
            QImage expected = picture.copy();
            op.reference(expected, c.x, c.y, c.radius, c.strength);
            EXPECT_TRUE(test_pictures::samePixels(
                applied(op.fast, picture, c.x, c.y, c.radius, c.strength), expected))
                << op.name << " " << c.w << "x" << c.h;
        }
    }
    for (const Operation& op : kOperations) {
        QImage fast = test_pictures::noise(90, 70, 58);
        QImage expected = fast.copy();
        effects::NoProgress none;
        for (int i = 0; i < 3; ++i) {
            op.fast(fast, 45, 35, 30, 10, none);
            op.reference(expected, 45, 35, 30, 10);
        }
        EXPECT_TRUE(test_pictures::samePixels(fast, expected)) << op.name;
    }
}

TEST(Stretch, CentresFarOutsideDoNotCrash) {
    const QImage picture = test_pictures::noise(50, 40, 59);
    for (const Operation& op : kOperations) {
        for (const auto& [x, y] : {std::pair{INT_MAX, INT_MAX}, std::pair{INT_MIN, INT_MIN},
                                   std::pair{INT_MIN, 20}, std::pair{25, INT_MAX}}) {
            EXPECT_TRUE(
                test_pictures::samePixels(applied(op.fast, picture, x, y, 3000, 1000), picture))
                << op.name;
        }
    }
}

}  // namespace
