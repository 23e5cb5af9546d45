#include "effects/bilinear_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "effects/raster.h"
#include "reference_effects.h"
#include "test_pictures.h"

using test_pictures::at;
using test_pictures::put;

namespace {

uint32_t sampleAt(double x, double y, const QImage& picture) {
    return effects::sampleBilinear(x, y, picture);
}

TEST(BilinearSampler, WholeNumberPositionsReturnThePixel) {
    const QImage picture = test_pictures::noise(9, 7, 1);
    for (int row = 0; row <= picture.height() - 2; ++row) {
        for (int col = 0; col <= picture.width() - 2; ++col) {
            double x = col;
            double y = row;
            EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, col, row));
            EXPECT_EQ(x, col);
            EXPECT_EQ(y, row);
        }
    }
}

TEST(BilinearSampler, HalvesGoToEven) {
    QImage picture = test_pictures::noise(6, 4, 2);
    put(picture, 2, 1, colour::make(100, 11, 0));
    put(picture, 3, 1, colour::make(201, 14, 255));
    const uint32_t value = sampleAt(2.5, 1, picture);
    EXPECT_EQ(colour::red(value), 150);   // Rnd(150.5)
    EXPECT_EQ(colour::green(value), 12);  // Rnd(12.5)
    EXPECT_EQ(colour::blue(value), 128);  // Rnd(127.5)
    put(picture, 2, 1, colour::make(101, 0, 0));
    put(picture, 3, 1, colour::make(202, 0, 0));
    EXPECT_EQ(colour::red(sampleAt(2.5, 1, picture)), 152);  // Rnd(151.5)
}

TEST(BilinearSampler, BlendsFourNeighbours) {
    QImage picture(3, 3, QImage::Format_BGR888);
    picture.fill(0);
    put(picture, 0, 0, colour::make(0, 0, 0));
    put(picture, 1, 0, colour::make(100, 0, 0));
    put(picture, 0, 1, colour::make(200, 0, 0));
    put(picture, 1, 1, colour::make(40, 0, 0));
    // (0·0.75 + 200·0.25)·0.5 + (100·0.75 + 40·0.25)·0.5 = 67.5 → 68
    EXPECT_EQ(colour::red(sampleAt(0.5, 0.25, picture)), 68);
}

TEST(BilinearSampler, NegativePositionsClampToZeroInTheCallersVariables) {
    const QImage picture = test_pictures::noise(5, 5, 3);
    double x = -3.7;
    double y = -0.1;
    EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, 0, 0));
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    x = 2;
    y = -1e300;
    EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, 2, 0));
    EXPECT_EQ(y, 0.0);
    x = -std::numeric_limits<double>::infinity();
    y = 3;
    EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, 0, 3));
    EXPECT_EQ(x, 0.0);
}

TEST(BilinearSampler, LastRowAndColumnNeverContribute) {
    const int w = 6;
    const int h = 5;
    QImage picture = test_pictures::noise(w, h, 4);
    // Any y of H − 1 or more gives row H − 2 exactly, written back.
    for (double y0 : {static_cast<double>(h - 1), h - 0.5, h + 100.0,
                      std::numeric_limits<double>::infinity()}) {
        double x = 1;
        double y = y0;
        EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, 1, h - 2)) << y0;
        EXPECT_EQ(y, h - 2);
    }
    // Any x above W − 2 gives column W − 2 exactly, written back.
    for (double x0 : {w - 1.99, static_cast<double>(w - 1), w + 7.5}) {
        double x = x0;
        double y = 2;
        EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, w - 2, 2)) << x0;
        EXPECT_EQ(x, w - 2);
    }
    // Just below H − 1 the blend is almost all row H − 1.
    put(picture, 0, h - 2, colour::make(0, 0, 0));
    put(picture, 0, h - 1, colour::make(200, 0, 0));
    EXPECT_EQ(colour::red(sampleAt(0, h - 1 - 1e-9, picture)), 200);
    EXPECT_EQ(colour::red(sampleAt(0, h - 1.5, picture)), 100);
    // The corner pixel W − 1, H − 1 is never read: changing it changes no sample.
    QImage changed = picture.copy();
    put(changed, w - 1, h - 1, ~at(picture, w - 1, h - 1) & 0xffffff);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> anywhere(-2, w + 2);
    for (int i = 0; i < 2000; ++i) {
        const double x = anywhere(random);
        const double y = anywhere(random);
        ASSERT_EQ(sampleAt(x, y, picture), sampleAt(x, y, changed)) << x << ", " << y;
    }
}

TEST(BilinearSampler, NaNPositionsStayInsideThePicture) {
    const QImage picture = test_pictures::noise(4, 4, 6);
    double x = std::nan("");
    double y = std::nan("");
    EXPECT_EQ(effects::sampleBilinear(x, y, picture), at(picture, 0, 2));
    EXPECT_EQ(x, 0.0);  // NaN x: our choice
    EXPECT_EQ(y, 2.0);  // NaN y: the y >= H − 1 branch
}

TEST(BilinearSampler, ThinPicturesUseTheirOneRowOrColumn) {
    // One row: horizontal blend only, y set to 0.
    QImage row(4, 1, QImage::Format_BGR888);
    for (int col = 0; col < 4; ++col) {
        put(row, col, 0, colour::make(10 * col, 0, 200));
    }
    double x = 1.25;
    double y = 7;
    EXPECT_EQ(effects::sampleBilinear(x, y, row), colour::make(12, 0, 200));  // Rnd(12.5)
    EXPECT_EQ(x, 1.25);
    EXPECT_EQ(y, 0.0);
    x = 9;
    y = -1;
    EXPECT_EQ(effects::sampleBilinear(x, y, row), colour::make(20, 0, 200));  // column W − 2
    EXPECT_EQ(x, 2.0);

    // One column: vertical blend only, x set to 0.
    QImage column(1, 3, QImage::Format_BGR888);
    for (int r = 0; r < 3; ++r) {
        put(column, 0, r, colour::make(0, 90 * r, 0));
    }
    x = -5;
    y = 0.5;
    EXPECT_EQ(effects::sampleBilinear(x, y, column), colour::make(0, 45, 0));
    EXPECT_EQ(x, 0.0);
    x = 0.75;
    y = 2;
    EXPECT_EQ(effects::sampleBilinear(x, y, column), colour::make(0, 90, 0));  // row H − 2
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 1.0);

    // One pixel: always that pixel.
    QImage dot(1, 1, QImage::Format_BGR888);
    put(dot, 0, 0, colour::make(1, 2, 3));
    x = 0.5;
    y = -0.5;
    EXPECT_EQ(effects::sampleBilinear(x, y, dot), colour::make(1, 2, 3));
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);

    // Nothing to sample.
    x = 3;
    y = 4;
    EXPECT_EQ(effects::sampleBilinear(x, y, QImage()), 0u);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
}

TEST(BilinearSampler, RefusesOtherFormats) {
    const QImage picture(4, 4, QImage::Format_ARGB32);
    double x = 1;
    double y = 1;
    EXPECT_THROW(effects::sampleBilinear(x, y, picture), std::invalid_argument);
}

TEST(BilinearSampler, AgreesWithTheReferenceEverywhere) {
    std::mt19937 random(7);
    for (const QSize size : {QSize(2, 2), QSize(13, 9), QSize(1, 6), QSize(6, 1), QSize(1, 1)}) {
        const QImage picture = test_pictures::noise(size.width(), size.height(), random());
        std::uniform_real_distribution<double> xs(-2, size.width() + 2);
        std::uniform_real_distribution<double> ys(-2, size.height() + 2);
        for (int i = 0; i < 20000; ++i) {
            double x = xs(random);
            double y = ys(random);
            if (i % 4 == 1) {
                x = std::round(x * 4) / 4;  // quarters and halves make exact ties
            } else if (i % 4 == 2) {
                y = std::round(y * 8) / 8;
                x = std::round(x * 2) / 2;
            }
            double rx = x;
            double ry = y;
            const uint32_t expected = reference::sample(rx, ry, picture);
            ASSERT_EQ(effects::sampleBilinear(x, y, picture), expected)
                << size.width() << "x" << size.height() << " at " << rx << ", " << ry;
            ASSERT_EQ(x, rx);
            ASSERT_EQ(y, ry);
        }
    }
}

// The fast sampler blends in double and falls back to long double near ties; it must give
// the long double result bit for bit. Runs through random positions and pictures, and
// through positions and colours built to land on or right next to a half-integer.
TEST(BilinearSampler, DoubleBlendMatchesLongDoubleBlend) {
    std::mt19937_64 random(8);
    const QImage picture = test_pictures::noise(64, 64, 9);
    const effects::detail::Raster raster(picture);
    std::uniform_real_distribution<double> anywhere(-1, 65);
    int64_t ties = 0;
    auto check = [&](double x, double y) {
        double fx = x, fy = y, ex = x, ey = y;
        const uint32_t fast = effects::detail::sampleClamped(fx, fy, raster);
        const uint32_t exact = effects::detail::sampleClampedExact(ex, ey, raster);
        ASSERT_EQ(fast, exact) << "at " << x << ", " << y;
    };
    for (int i = 0; i < 1000000; ++i) {
        check(anywhere(random), anywhere(random));
    }
    // Dyadic fractions give exact half-integers often.
    for (int i = 0; i < 200000; ++i) {
        const int denominator = 1 << (1 + random() % 10);
        const double x = static_cast<double>(random() % (64 * denominator)) / denominator;
        const double y = static_cast<double>(random() % (64 * denominator)) / denominator;
        check(x, y);
        for (int c = 0; c < 3; ++c) {
            double ex = x, ey = y;
            int left, top;
            const uchar* tl = effects::detail::clampPosition(ex, ey, raster, left, top);
            const long double v =
                ((tl[c] * (top + 1.0L - ey) + tl[c + raster.stride] * (ey - top)) *
                     (left + 1.0L - ex) +
                 (tl[c + 3] * (top + 1.0L - ey) + tl[c + 3 + raster.stride] * (ey - top)) *
                     (ex - left));
            ties += (v - std::floor(v) == 0.5L);
        }
    }
    // Positions a few units of roundoff either side of a tie: x = 0.5 ± n·2^-52 between
    // channel values 100 and 201 gives blends within 1e-13 of 150.5.
    QImage step(4, 4, QImage::Format_BGR888);
    step.fill(0);
    for (int r = 0; r < 4; ++r) {
        put(step, 0, r, colour::make(100, 101, 3));
        put(step, 1, r, colour::make(201, 202, 4));
    }
    const effects::detail::Raster stepRaster(step);
    for (int n = -2000; n <= 2000; ++n) {
        const double x = 0.5 + n * 0x1p-52;
        double fx = x, fy = 1, ex = x, ey = 1;
        ASSERT_EQ(effects::detail::sampleClamped(fx, fy, stepRaster),
                  effects::detail::sampleClampedExact(ex, ey, stepRaster))
            << n;
    }
    EXPECT_GT(ties, 1000);  // the fallback was exercised
}

TEST(BilinearSampler, RoundChannelIsNearbyint) {
    for (int i = 0; i <= 256 * 64; ++i) {
        const long double v = i / 64.0L;
        ASSERT_EQ(effects::detail::roundChannel(v), static_cast<uint32_t>(std::nearbyint(v))) << i;
    }
    std::mt19937_64 random(10);
    std::uniform_real_distribution<long double> values(0, 256);
    for (int i = 0; i < 100000; ++i) {
        const long double v = values(random);
        ASSERT_EQ(effects::detail::roundChannel(v), static_cast<uint32_t>(std::nearbyint(v)));
        const long double justBelowHalf = std::floor(v) + 0.5L - 0x1p-60L;
        ASSERT_EQ(effects::detail::roundChannel(justBelowHalf),
                  static_cast<uint32_t>(std::nearbyint(justBelowHalf)));
    }
}

}  // namespace
