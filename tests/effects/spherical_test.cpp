#include "effects/spherical.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <stdexcept>

#include "counting_progress.h"
#include "effects/spherical_kernels.h"
#include "reference_effects.h"
#include "test_pictures.h"

using test_pictures::at;
using test_pictures::put;

namespace {

using Effect = void (*)(QImage&, int, int, int, int, effects::Progress&);
using ReferenceEffect = int64_t (*)(QImage&, int, int, int, int);

QImage applied(Effect effect, QImage picture, int x, int y, int radius, int strength) {
    effects::NoProgress progress;
    effect(picture, x, y, radius, strength, progress);
    return picture;
}

// R = 100, S = 30 on a coordinate picture, centre (100, 100): the documented examples.
constexpr int kX = 100;
constexpr int kY = 100;

TEST(Spherical, BulgeAxisPixelShowsTheExpectedColumn) {
    const QImage result =
        applied(effects::bulge, test_pictures::coordinates(220, 220), kX, kY, 100, 30);
    // Rnd(X + 50·151.666… / √(181.666…² − 2500)) = X + 43
    EXPECT_EQ(at(result, kX + 50, kY), colour::make(kX + 43, kY, 77));
    EXPECT_EQ(at(result, kX - 50, kY), colour::make(kX - 43, kY, 77));
    EXPECT_EQ(at(result, kX, kY - 50), colour::make(kX, kY - 43, 77));
    EXPECT_EQ(at(result, kX, kY + 50), colour::make(kX, kY + 43, 77));
    // Next to the rim a pixel keeps (almost) its own colour.
    EXPECT_EQ(at(result, kX + 99, kY), colour::make(kX + 99, kY, 77));
}

TEST(Spherical, PinchAxisPixelShowsTheExpectedColumn) {
    const QImage result =
        applied(effects::pinch, test_pictures::coordinates(220, 220), kX, kY, 100, 30);
    // Rnd(X + 50·181.666… / √(151.666…² + 2500)) = X + 57
    EXPECT_EQ(at(result, kX + 50, kY), colour::make(kX + 57, kY, 77));
    EXPECT_EQ(at(result, kX - 50, kY), colour::make(kX - 57, kY, 77));
    EXPECT_EQ(at(result, kX, kY + 50), colour::make(kX, kY + 57, 77));
}

// The pixel 30 right of and 40 below the centre. A coordinate picture gives the source to
// the nearest pixel; a picture with a step between the source's two columns and rows gives
// its fractions to 1/255 (the blend is then 255 × the fraction).
void expectSource(Effect effect, double sx, double sy) {
    const int col = kX + 30;
    const int row = kY + 40;
    const QImage coords = applied(effect, test_pictures::coordinates(220, 220), kX, kY, 100, 30);
    EXPECT_EQ(colour::red(at(coords, col, row)), std::nearbyint(sx));
    EXPECT_EQ(colour::green(at(coords, col, row)), std::nearbyint(sy));

    const int left = static_cast<int>(sx);
    const int top = static_cast<int>(sy);
    QImage steps(220, 220, QImage::Format_BGR888);
    for (int r = 0; r < 220; ++r) {
        for (int c = 0; c < 220; ++c) {
            put(steps, c, r, colour::make(c > left ? 255 : 0, r > top ? 255 : 0, 0));
        }
    }
    const uint32_t value = at(applied(effect, steps, kX, kY, 100, 30), col, row);
    EXPECT_NEAR(colour::red(value), 255 * (sx - left), 0.5);
    EXPECT_NEAR(colour::green(value), 255 * (sy - top), 0.5);
}

TEST(Spherical, OffAxisSourcesMatchTheFormulas) {
    expectSource(effects::pinch, kX + 34.0856, kY + 45.4474);  // (X + 34.09, Y + 45.45)
    expectSource(effects::bulge, kX + 26.0520, kY + 34.7361);  // (X + 26.05, Y + 34.74)
}

TEST(Spherical, CentrePixelKeepsItsColour) {
    const QImage picture = test_pictures::noise(80, 60, 11);
    for (Effect effect : {effects::bulge, effects::pinch}) {
        for (int strength : {1, 20, 40, 60}) {
            const QImage result = applied(effect, picture, 40, 30, 40, strength);
            EXPECT_EQ(at(result, 40, 30), at(picture, 40, 30));
            EXPECT_FALSE(test_pictures::samePixels(result, picture));  // the disc does change
        }
    }
}

TEST(Spherical, RadiusOneOrLessChangesNothing) {
    for (Effect effect : {effects::bulge, effects::pinch}) {
        for (int radius : {1, 0, -5}) {
            QImage picture = test_pictures::noise(20, 20, 12);
            const QImage before = picture;  // shares the data: a write would detach it
            test_progress::Counting progress;
            effect(picture, 10, 10, radius, 5, progress);
            EXPECT_EQ(picture.constBits(), before.constBits());
            EXPECT_EQ(progress.steps, 0);
        }
    }
}

// S = R gives k = 0: the bulge fills the disc with the centre's colour; the pinch touches
// only the axes, which take the colours at distance R.
TEST(Spherical, StrengthEqualToRadius) {
    const QImage picture = test_pictures::noise(100, 100, 13);
    const int x = 50, y = 50, r = 30;
    const QImage bulged = applied(effects::bulge, picture, x, y, r, r);
    const QImage pinched = applied(effects::pinch, picture, x, y, r, r);
    for (int row = 0; row < 100; ++row) {
        for (int col = 0; col < 100; ++col) {
            const int dx = col - x, dy = row - y;
            if (dx * dx + dy * dy < (r - 1) * (r - 1)) {
                ASSERT_EQ(at(bulged, col, row), at(picture, x, y)) << col << ", " << row;
            }
            if (dx * dx + dy * dy > r * r) {
                ASSERT_EQ(at(bulged, col, row), at(picture, col, row));
            }
            if (dx != 0 && dy != 0) {
                ASSERT_EQ(at(pinched, col, row), at(picture, col, row)) << col << ", " << row;
            } else if (dx != 0 && std::abs(dx) < r) {
                ASSERT_EQ(at(pinched, col, row), at(picture, dx > 0 ? x + r : x - r, y));
            } else if (dy != 0 && std::abs(dy) < r) {
                ASSERT_EQ(at(pinched, col, row), at(picture, x, dy > 0 ? y + r : y - r));
            }
        }
    }
}

TEST(Spherical, StrengthBelowOneThrowsAndKeepsThePicture) {
    for (Effect effect : {effects::bulge, effects::pinch}) {
        for (int strength : {0, -3}) {
            QImage picture = test_pictures::noise(30, 30, 14);
            const QImage before = picture.copy();
            test_progress::Counting progress;
            try {
                effect(picture, 15, 15, 10, strength, progress);
                ADD_FAILURE() << "no exception for strength " << strength;
            } catch (const std::invalid_argument& error) {
                EXPECT_NE(std::string(error.what()).find("strength"), std::string::npos);
            }
            EXPECT_TRUE(test_pictures::samePixels(picture, before));
            EXPECT_EQ(progress.steps, 0);
        }
    }
    QImage wrongFormat(10, 10, QImage::Format_RGB32);
    effects::NoProgress none;
    EXPECT_THROW(effects::bulge(wrongFormat, 5, 5, 4, 2, none), std::invalid_argument);
}

TEST(Spherical, ProgressStepsPerColumnOnTheCallingThread) {
    const QImage picture = test_pictures::noise(300, 200, 15);
    struct Case {
        int x, y, radius;
    };
    // Inside (large enough for the helper threads), across a border, far outside.
    for (const Case& c : {Case{150, 100, 90}, Case{-20, 50, 40}, Case{100000, -7, 25},
                          Case{5, 5, 2}, Case{150, 100, 400}}) {
        for (int which = 0; which < 2; ++which) {
            QImage copy = picture;
            test_progress::Counting progress;
            if (which == 0) {
                effects::bulge(copy, c.x, c.y, c.radius, 7, progress);
                EXPECT_EQ(progress.steps, 4 * (c.radius - 1));
            } else {
                effects::pinch(copy, c.x, c.y, c.radius, 7, progress);
                EXPECT_EQ(progress.steps, 2 * (c.radius - 1));
            }
            EXPECT_EQ(progress.foreignSteps, 0);
            EXPECT_EQ(reference::bulge(copy, c.x, c.y, c.radius, 7), 4 * (c.radius - 1));
            EXPECT_EQ(reference::pinch(copy, c.x, c.y, c.radius, 7), 2 * (c.radius - 1));
        }
    }
}

// A progress bar that fails half-way: the effect stops and the picture stays as it was.
TEST(Spherical, FailingProgressLeavesThePictureUnchanged) {
    class Failing final : public effects::Progress {
    public:
        void advance() override {
            if (++steps == 100) {
                throw std::runtime_error("progress bar gone");
            }
        }
        int steps = 0;
    };
    QImage picture = test_pictures::noise(400, 400, 16);
    const QImage before = picture.copy();
    Failing progress;
    EXPECT_THROW(effects::bulge(picture, 200, 200, 150, 50, progress), std::runtime_error);
    EXPECT_TRUE(test_pictures::samePixels(picture, before));
}

TEST(Spherical, OnlyPixelsInsideTheDiscChange) {
    const QImage picture = test_pictures::noise(120, 90, 17);
    for (Effect effect : {effects::bulge, effects::pinch}) {
        const QImage result = applied(effect, picture, 0, 89, 50, 20);  // across two borders
        for (int row = 0; row < 90; ++row) {
            for (int col = 0; col < 120; ++col) {
                const int dx = col, dy = row - 89;
                if (dx * dx + dy * dy >= 50 * 50) {
                    ASSERT_EQ(at(result, col, row), at(picture, col, row)) << col << ", " << row;
                }
            }
        }
        EXPECT_FALSE(test_pictures::samePixels(result, picture));
    }
}

TEST(Spherical, CentresFarOutsideDoNotCrash) {
    const QImage picture = test_pictures::noise(50, 40, 18);
    for (Effect effect : {effects::bulge, effects::pinch}) {
        for (const auto& [x, y] : {std::pair{INT_MAX, INT_MAX}, std::pair{INT_MIN, INT_MIN},
                                   std::pair{INT_MIN, 20}, std::pair{25, INT_MAX}}) {
            const QImage result = applied(effect, picture, x, y, 3000, 1000);
            EXPECT_TRUE(test_pictures::samePixels(result, picture));
        }
        // A huge disc from far away that still covers the picture.
        const QImage covered = applied(effect, picture, -30000, 20, 30050, 10);
        EXPECT_FALSE(test_pictures::samePixels(covered, picture));
    }
}

// The per-pixel source positions, bit for bit: whole-picture comparisons catch a wrong
// pixel, these also catch a position that differs in its last bits (a double where the
// Part has extended precision, another evaluation order), which changes a colour only
// rarely.
TEST(Spherical, SourcePositionsAreTheFormulasBitForBit) {
    std::mt19937_64 random(23);
    const QImage picture = test_pictures::noise(4, 4, 1);
    const effects::detail::Raster raster(picture);
    for (int call = 0; call < 3000; ++call) {
        const int64_t R = 2 + static_cast<int64_t>(random() % (call % 3 == 0 ? 30000 : 600));
        const int64_t S = 1 + static_cast<int64_t>(random() % (2 * R));
        const int64_t X = static_cast<int64_t>(random() % 20001) - 10000;
        const int64_t Y = static_cast<int64_t>(random() % 20001) - 10000;
        const auto [a, k] = effects::detail::sphereOf(R, S);
        const effects::detail::BulgeKernel bulge{&raster, a * a, k, X, Y};
        for (int i = 0; i < 100; ++i) {
            int64_t dx, dy;
            do {
                dx = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
                dy = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
            } while (dx * dx + dy * dy >= R * R || dx == 0 || dy == 0);  // as the passes
            const int col = static_cast<int>(X - dx);
            const int row = static_cast<int>(Y - dy);
            double sx, sy, rx, ry;
            bulge.column(col).sourceOf(row, sx, sy);
            reference::bulgeSource(X, Y, R, S, col, row, rx, ry);
            ASSERT_EQ(sx, rx) << "bulge R " << R << " S " << S << " d " << dx << ", " << dy;
            ASSERT_EQ(sy, ry) << "bulge R " << R << " S " << S << " d " << dx << ", " << dy;

            const long double rhoY = std::sqrt(k * k + static_cast<long double>(dy * dy));
            const effects::detail::PinchKernel pinch{&raster, k * a, k * k, X, Y, &rhoY, row};
            pinch.column(col).sourceOf(row, sx, sy);
            reference::pinchSource(X, Y, R, S, col, row, rx, ry);
            ASSERT_EQ(sx, rx) << "pinch R " << R << " S " << S << " d " << dx << ", " << dy;
            ASSERT_EQ(sy, ry) << "pinch R " << R << " S " << S << " d " << dx << ", " << dy;
        }
    }
}

// Whole pictures against the reference for many centres, radii and strengths.
TEST(Spherical, MatchesTheReferenceEverywhere) {
    const int w = 61, h = 47;
    const QImage picture = test_pictures::noise(w, h, 19);
    const std::pair<int, int> centres[] = {
        {30, 23},     {0, 0},    {w - 1, h - 1}, {1, 23},    {w - 2, 23},   {30, 0},
        {30, h - 1},  {-1, 23},  {w, 23},        {30, -1},   {30, h},       {-12, 20},
        {w + 10, 30}, {25, -15}, {35, h + 14},   {-40, -40}, {w + 200, 10}, {-1000000, 5}};
    const ReferenceEffect references[] = {reference::bulge, reference::pinch};
    const Effect fast[] = {effects::bulge, effects::pinch};
    int runs = 0;
    for (const auto& [x, y] : centres) {
        for (int radius : {1, 2, 3, 17, 100, 150}) {
            for (int strength : {1, 2, 5, static_cast<int>(std::nearbyint(radius / 1.5)), radius,
                                 radius + 4, 3 * radius}) {
                if (strength < 1) {
                    continue;
                }
                for (int e = 0; e < 2; ++e) {
                    QImage expected = picture.copy();
                    references[e](expected, x, y, radius, strength);
                    const QImage result = applied(fast[e], picture, x, y, radius, strength);
                    ASSERT_TRUE(test_pictures::samePixels(result, expected))
                        << (e == 0 ? "bulge" : "pinch") << " at " << x << ", " << y << " R "
                        << radius << " S " << strength;
                    ++runs;
                }
            }
        }
    }
    EXPECT_GT(runs, 1400);
}

// Thin pictures and a large step where the helper threads share the work.
TEST(Spherical, MatchesTheReferenceOnThinAndLargePictures) {
    struct Case {
        int w, h, x, y, radius, strength;
    };
    for (const Case& c :
         {Case{1, 30, 0, 15, 10, 3}, Case{30, 1, 15, 0, 10, 3}, Case{1, 1, 0, 0, 5, 2},
          Case{2, 2, 1, 0, 4, 1}, Case{30, 1, 15, 3, 10, 12}, Case{700, 520, 350, 260, 250, 167},
          Case{700, 520, 690, 10, 300, 20}}) {
        const QImage picture = test_pictures::noise(c.w, c.h, 20 + c.w);
        QImage expected = picture.copy();
        reference::bulge(expected, c.x, c.y, c.radius, c.strength);
        EXPECT_TRUE(test_pictures::samePixels(
            applied(effects::bulge, picture, c.x, c.y, c.radius, c.strength), expected))
            << "bulge " << c.w << "x" << c.h;
        expected = picture.copy();
        reference::pinch(expected, c.x, c.y, c.radius, c.strength);
        EXPECT_TRUE(test_pictures::samePixels(
            applied(effects::pinch, picture, c.x, c.y, c.radius, c.strength), expected))
            << "pinch " << c.w << "x" << c.h;
    }
}

// Repeated steps compound, each from the picture the previous one left.
TEST(Spherical, RepeatedStepsCompound) {
    QImage fast = test_pictures::noise(90, 70, 21);
    QImage expected = fast.copy();
    effects::NoProgress none;
    for (int i = 0; i < 3; ++i) {
        effects::bulge(fast, 45, 35, 30, 10, none);
        reference::bulge(expected, 45, 35, 30, 10);
        effects::pinch(fast, 40, 30, 25, 8, none);
        reference::pinch(expected, 40, 30, 25, 8);
    }
    EXPECT_TRUE(test_pictures::samePixels(fast, expected));
}

// A picture shared with another QImage (a history slot, say) detaches; the other keeps
// its pixels.
TEST(Spherical, SharedPictureDetaches) {
    QImage picture = test_pictures::noise(60, 60, 22);
    const QImage kept = picture;
    const QImage before = picture.copy();
    effects::NoProgress none;
    effects::pinch(picture, 30, 30, 20, 6, none);
    EXPECT_TRUE(test_pictures::samePixels(kept, before));
    EXPECT_FALSE(test_pictures::samePixels(picture, before));
}

}  // namespace
