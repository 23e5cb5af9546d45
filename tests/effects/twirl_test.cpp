#include "effects/twirl.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <stdexcept>

#include "counting_progress.h"
#include "effects/twirl_kernel.h"
#include "reference_effects.h"
#include "test_pictures.h"

using test_pictures::at;
using test_pictures::put;

namespace {

using Effect = void (*)(QImage&, int, int, int, int, effects::Progress&);

QImage applied(Effect effect, QImage picture, int x, int y, int radius, int strength) {
    effects::NoProgress progress;
    effect(picture, x, y, radius, strength, progress);
    return picture;
}

// The "Twist" defaults at 100 % zoom: R = 100, S = 10.
constexpr int kX = 110;
constexpr int kY = 105;
constexpr int kR = 100;
constexpr int kS = 10;

TEST(Twirl, ProfileHasTheDocumentedValues) {
    const auto profile = effects::detail::TwirlProfile::of(kR, kS);
    EXPECT_EQ(profile.A, 130);
    EXPECT_EQ(profile.at(50), 10);  // the top, S, at half the radius
    EXPECT_NEAR(profile.at(25), 7.5735, 1e-4);
    EXPECT_EQ(profile.at(25), profile.at(75));
    EXPECT_NEAR(profile.at(10), 3.6931, 1e-4);
    EXPECT_NEAR(profile.at(90), 3.6931, 1e-4);
    EXPECT_NEAR(profile.at(99), 0.4117, 1e-4);
    EXPECT_EQ(profile.at(0), 0);
    EXPECT_EQ(profile.at(100), 0);
    // An odd radius puts the top half-way between two pixels.
    EXPECT_EQ(effects::detail::TwirlProfile::of(7, 1).h, 3.5L);
}

// The pixel 30 right of and 40 above the centre (r = 50, D = 10) takes the colour of a
// whole pixel: (X + 22, Y − 46) clockwise, (X + 38, Y − 34) anticlockwise.
TEST(Twirl, OffAxisPixelTakesTheDocumentedSource) {
    const QImage picture = test_pictures::noise(230, 220, 31);
    const QImage clockwise = applied(effects::twirlClockwise, picture, kX, kY, kR, kS);
    const QImage anticlockwise = applied(effects::twirlAnticlockwise, picture, kX, kY, kR, kS);
    EXPECT_EQ(at(clockwise, kX + 30, kY - 40), at(picture, kX + 22, kY - 46));
    EXPECT_EQ(at(anticlockwise, kX + 30, kY - 40), at(picture, kX + 38, kY - 34));
    // The same in the opposite quadrant, mirrored through the centre.
    EXPECT_EQ(at(clockwise, kX - 30, kY + 40), at(picture, kX - 22, kY + 46));
    EXPECT_EQ(at(anticlockwise, kX - 30, kY + 40), at(picture, kX - 38, kY + 34));
}

// On row Y, 25 right of the centre, the source is (X + 25, Y ∓ 7.5735…), blended from two
// rows with the weight of the fraction.
TEST(Twirl, AxisPixelIsBlendedFromTheDocumentedRows) {
    QImage picture = test_pictures::coordinates(230, 220);
    const int col = kX + 25;
    for (int row = 0; row < 220; ++row) {
        put(picture, col, row, 0);
    }
    put(picture, col, kY - 7, colour::make(200, 0, 0));
    put(picture, col, kY + 8, colour::make(200, 0, 0));
    const double d25 = std::sqrt(130.0 * 130 - 25 * 25) - 120;  // 7.5735…
    // Clockwise: y = Y − 7.57…, weight 8 − D on row Y − 7. Anticlockwise: y = Y + 7.57…,
    // weight D − 7 on row Y + 8.
    EXPECT_EQ(colour::red(at(applied(effects::twirlClockwise, picture, kX, kY, kR, kS), col, kY)),
              std::nearbyint(200 * (8 - d25)));
    EXPECT_EQ(
        colour::red(at(applied(effects::twirlAnticlockwise, picture, kX, kY, kR, kS), col, kY)),
        std::nearbyint(200 * (d25 - 7)));
}

TEST(Twirl, CentreAndOutsideKeepTheirColoursTheDiscChanges) {
    const QImage picture = test_pictures::noise(90, 80, 32);
    for (Effect effect : {effects::twirlClockwise, effects::twirlAnticlockwise}) {
        for (int strength : {1, 5, 12, 30}) {
            const QImage result = applied(effect, picture, 45, 40, 36, strength);
            EXPECT_FALSE(test_pictures::samePixels(result, picture));
            for (int row = 0; row < 80; ++row) {
                for (int col = 0; col < 90; ++col) {
                    const int dx = col - 45, dy = row - 40;
                    if (dx * dx + dy * dy >= 36 * 36 || (dx == 0 && dy == 0)) {
                        ASSERT_EQ(at(result, col, row), at(picture, col, row))
                            << col << ", " << row;
                    }
                }
            }
        }
    }
}

TEST(Twirl, CounterTwirlDoesNotRestoreThePicture) {
    const QImage picture = test_pictures::noise(120, 120, 33);
    const QImage there = applied(effects::twirlClockwise, picture, 60, 60, 50, 10);
    const QImage back = applied(effects::twirlAnticlockwise, there, 60, 60, 50, 10);
    EXPECT_FALSE(test_pictures::samePixels(back, picture));
    EXPECT_FALSE(test_pictures::samePixels(back, there));
    // The two directions differ from each other too.
    EXPECT_FALSE(test_pictures::samePixels(
        there, applied(effects::twirlAnticlockwise, picture, 60, 60, 50, 10)));
}

TEST(Twirl, RadiusOneIsTheIdentityAndBadArgumentsThrow) {
    for (Effect effect : {effects::twirlClockwise, effects::twirlAnticlockwise}) {
        for (int radius : {1, 0, -4}) {
            QImage picture = test_pictures::noise(20, 20, 34);
            const QImage before = picture;  // shares the data: a write would detach it
            test_progress::Counting progress;
            effect(picture, 10, 10, radius, 3, progress);
            EXPECT_EQ(picture.constBits(), before.constBits());
            EXPECT_EQ(progress.steps, 0);
        }
        for (int strength : {0, -2}) {
            QImage picture = test_pictures::noise(20, 20, 35);
            const QImage before = picture.copy();
            test_progress::Counting progress;
            EXPECT_THROW(effect(picture, 10, 10, 8, strength, progress), std::invalid_argument);
            EXPECT_TRUE(test_pictures::samePixels(picture, before));
            EXPECT_EQ(progress.steps, 0);
        }
        QImage wrongFormat(10, 10, QImage::Format_RGB32);
        effects::NoProgress none;
        EXPECT_THROW(effect(wrongFormat, 5, 5, 4, 2, none), std::invalid_argument);
    }
}

TEST(Twirl, ProgressStepsPerColumnOnTheCallingThread) {
    const QImage picture = test_pictures::noise(300, 200, 36);
    struct Case {
        int x, y, radius;
    };
    for (const Case& c : {Case{150, 100, 90}, Case{-20, 50, 40}, Case{100000, -7, 25},
                          Case{5, 5, 2}, Case{150, 100, 400}}) {
        for (Effect effect : {effects::twirlClockwise, effects::twirlAnticlockwise}) {
            QImage copy = picture;
            test_progress::Counting progress;
            effect(copy, c.x, c.y, c.radius, 7, progress);
            EXPECT_EQ(progress.steps, 4 * (c.radius - 1));
            EXPECT_EQ(progress.foreignSteps, 0);
        }
        QImage copy = picture.copy();
        EXPECT_EQ(reference::twirl(copy, c.x, c.y, c.radius, 7, true), 4 * (c.radius - 1));
    }
}

// The shift sizes, bit for bit, against the formulas with their signs; the whole-picture
// comparisons below would miss a last-bit difference that changes a colour only rarely.
TEST(Twirl, SourcePositionsAreTheFormulasBitForBit) {
    std::mt19937_64 random(37);
    for (int call = 0; call < 3000; ++call) {
        const int64_t R = 2 + static_cast<int64_t>(random() % (call % 3 == 0 ? 30000 : 600));
        const int64_t S = 1 + static_cast<int64_t>(random() % R);
        const int64_t X = static_cast<int64_t>(random() % 20001) - 10000;
        const int64_t Y = static_cast<int64_t>(random() % 20001) - 10000;
        const auto profile = effects::detail::TwirlProfile::of(R, S);
        for (int i = 0; i < 100; ++i) {
            int64_t vx, vy;
            do {
                vx = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
                vy = static_cast<int64_t>(random() % (2 * R - 1)) - (R - 1);
            } while (vx * vx + vy * vy >= R * R || vx == 0 || vy == 0);
            const auto shift = effects::detail::tangentShift(profile, std::abs(vx), std::abs(vy));
            const long double col = X + vx;
            const long double row = Y + vy;
            const double sx = static_cast<double>(col + (vy > 0 ? shift.across : -shift.across));
            const double sy = static_cast<double>(row + (vx > 0 ? -shift.along : shift.along));
            double rx, ry;
            reference::twirlSource(X, Y, R, S, true, X + vx, Y + vy, rx, ry);
            ASSERT_EQ(sx, rx) << "R " << R << " S " << S << " v " << vx << ", " << vy;
            ASSERT_EQ(sy, ry) << "R " << R << " S " << S << " v " << vx << ", " << vy;
        }
    }
}

TEST(Twirl, MatchesTheReferenceEverywhere) {
    const int w = 61, h = 47;
    const QImage picture = test_pictures::noise(w, h, 38);
    const std::pair<int, int> centres[] = {
        {30, 23},     {0, 0},    {w - 1, h - 1}, {1, 23},    {w - 2, 23},   {30, 0},
        {30, h - 1},  {-1, 23},  {w, 23},        {30, -1},   {30, h},       {-12, 20},
        {w + 10, 30}, {25, -15}, {35, h + 14},   {-40, -40}, {w + 200, 10}, {-1000000, 5}};
    int runs = 0;
    for (const auto& [x, y] : centres) {
        for (int radius : {1, 2, 3, 17, 100, 150}) {
            // 1, small, the palette's largest Rnd(R / 3), S = R and beyond.
            for (int strength : {1, 2, 5, static_cast<int>(std::nearbyint(radius / 3.0)), radius,
                                 radius + 4, 3 * radius}) {
                if (strength < 1) {
                    continue;
                }
                for (bool clockwise : {true, false}) {
                    QImage expected = picture.copy();
                    reference::twirl(expected, x, y, radius, strength, clockwise);
                    const QImage result =
                        applied(clockwise ? effects::twirlClockwise : effects::twirlAnticlockwise,
                                picture, x, y, radius, strength);
                    ASSERT_TRUE(test_pictures::samePixels(result, expected))
                        << (clockwise ? "clockwise" : "anticlockwise") << " at " << x << ", " << y
                        << " R " << radius << " S " << strength;
                    ++runs;
                }
            }
        }
    }
    EXPECT_GT(runs, 1400);
}

// Thin pictures, a large step where the helper threads share the work, repeated steps.
TEST(Twirl, MatchesTheReferenceOnThinLargeAndRepeated) {
    struct Case {
        int w, h, x, y, radius, strength;
    };
    for (const Case& c :
         {Case{1, 30, 0, 15, 10, 3}, Case{30, 1, 15, 0, 10, 3}, Case{2, 2, 1, 0, 4, 1},
          Case{700, 520, 350, 260, 250, 83}, Case{700, 520, 690, 10, 301, 30}}) {
        const QImage picture = test_pictures::noise(c.w, c.h, 40 + c.w);
        for (bool clockwise : {true, false}) {
            QImage expected = picture.copy();
            reference::twirl(expected, c.x, c.y, c.radius, c.strength, clockwise);
            EXPECT_TRUE(test_pictures::samePixels(
                applied(clockwise ? effects::twirlClockwise : effects::twirlAnticlockwise, picture,
                        c.x, c.y, c.radius, c.strength),
                expected))
                << c.w << "x" << c.h << (clockwise ? " clockwise" : " anticlockwise");
        }
    }
    QImage fast = test_pictures::noise(90, 70, 39);
    QImage expected = fast.copy();
    effects::NoProgress none;
    for (int i = 0; i < 3; ++i) {
        effects::twirlClockwise(fast, 45, 35, 30, 10, none);
        reference::twirl(expected, 45, 35, 30, 10, true);
    }
    EXPECT_TRUE(test_pictures::samePixels(fast, expected));
}

TEST(Twirl, CentresFarOutsideDoNotCrash) {
    const QImage picture = test_pictures::noise(50, 40, 41);
    for (Effect effect : {effects::twirlClockwise, effects::twirlAnticlockwise}) {
        for (const auto& [x, y] : {std::pair{INT_MAX, INT_MAX}, std::pair{INT_MIN, INT_MIN},
                                   std::pair{INT_MIN, 20}, std::pair{25, INT_MAX}}) {
            EXPECT_TRUE(
                test_pictures::samePixels(applied(effect, picture, x, y, 3000, 1000), picture));
        }
        EXPECT_FALSE(
            test_pictures::samePixels(applied(effect, picture, -30000, 20, 30050, 10), picture));
    }
}

}  // namespace
