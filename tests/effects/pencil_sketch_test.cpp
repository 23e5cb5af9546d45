#include "effects/pencil_sketch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "test_pictures.h"

using test_pictures::at;
using test_pictures::put;

namespace {

uint32_t grey(int v) {
    return colour::make(v, v, v);
}

TEST(PencilSketch, GreyIsTheLongDoubleSumRounded) {
    // Every channel triple, halves included (30·R + 59·G + 11·B ending in 50).
    int halves = 0;
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g) {
            for (int b = 0; b < 256; ++b) {
                const long double sum = 0.3L * r + 0.59L * g + 0.11L * b;
                const int expected = static_cast<int>(std::nearbyint(sum));
                const int got = effects::sketchGrey(r, g, b);
                if (got != expected) {
                    FAIL() << r << " " << g << " " << b << ": " << got << " != " << expected;
                }
                halves += (30 * r + 59 * g + 11 * b) % 100 == 50;
            }
        }
    }
    EXPECT_GT(halves, 0);
}

// One bright pixel in the middle of a dark 3 x 3: the line kernel gives 6·60 − 0 (clamped to
// 255), and a step from a bright left column to a dark right one gives the gradient.
TEST(PencilSketch, EdgeImageTakesTheLargerKernelValueInverted) {
    QImage picture(3, 3, QImage::Format_BGR888);
    picture.fill(Qt::black);
    put(picture, 1, 1, colour::make(60, 10, 0));
    const QImage spot = effects::edgeImage(picture);
    // red: line 360 → 255; green: line 60, gradient 0 − 2·0 → 60; blue: 0.
    EXPECT_EQ(at(spot, 1, 1), colour::make(0, 195, 255));

    QImage step(3, 3, QImage::Format_BGR888);
    for (int row = 0; row < 3; ++row) {
        put(step, 0, row, colour::make(20, 20, 20));
        put(step, 1, row, colour::make(0, 0, 0));
        put(step, 2, row, colour::make(5, 5, 5));
    }
    // Gradient: 3·20 − 5 − m·5 − 5 = 45 for red and blue, 40 for green; the line is negative.
    EXPECT_EQ(at(effects::edgeImage(step), 1, 1), colour::make(255 - 45, 255 - 40, 255 - 45));
}

TEST(PencilSketch, FrameIsTheInvertedPhotograph) {
    const QImage photo = test_pictures::noise(17, 11, 9);
    const QImage sketch = effects::edgeImage(photo);
    for (int row = 0; row < 11; ++row) {
        for (int col = 0; col < 17; ++col) {
            if (row == 0 || row == 10 || col == 0 || col == 16) {
                EXPECT_EQ(at(sketch, col, row), at(photo, col, row) ^ 0xffffffu)
                    << col << "," << row;
            }
        }
    }
    // A flat picture has no edges: the inside is white.
    QImage flat(8, 6, QImage::Format_BGR888);
    flat.fill(QColor(90, 140, 30));
    EXPECT_EQ(at(effects::edgeImage(flat), 4, 3), grey(255));
    // Too thin for an inside: all frame.
    const QImage thin = test_pictures::noise(2, 9, 1);
    const QImage thinSketch = effects::edgeImage(thin);
    EXPECT_EQ(at(thinSketch, 1, 4), at(thin, 1, 4) ^ 0xffffffu);
    EXPECT_THROW(effects::edgeImage(QImage(3, 3, QImage::Format_RGB32)), std::invalid_argument);
}

TEST(PencilSketch, ThresholdTiesGoBlack) {
    QImage sketch(3, 1, QImage::Format_BGR888);
    put(sketch, 0, 0, colour::make(150, 150, 150));  // grey 150
    put(sketch, 1, 0, colour::make(151, 151, 151));
    put(sketch, 2, 0, colour::make(100, 200, 100));  // 30 + 118 + 11 = 159
    const QImage result = effects::thresholdSketch(sketch, 150);
    EXPECT_EQ(at(result, 0, 0), grey(0));
    EXPECT_EQ(at(result, 1, 0), grey(255));
    EXPECT_EQ(at(result, 2, 0), grey(255));
    EXPECT_EQ(at(effects::thresholdSketch(sketch, 159), 2, 0), grey(0));
    EXPECT_EQ(at(effects::thresholdSketch(sketch, 255), 1, 0), grey(0));
}

TEST(PencilSketch, ColourConversions) {
    const effects::Hsl red = effects::rgbToHsl(255, 0, 0);
    EXPECT_EQ(red.hue, 0);
    EXPECT_EQ(red.saturation, 100);
    EXPECT_EQ(red.lightness, 50);
    const effects::Hsl blue = effects::rgbToHsl(0, 0, 255);
    EXPECT_EQ(blue.hue, 240);
    const effects::Hsl magenta = effects::rgbToHsl(255, 0, 128);  // h negative, plus 1
    EXPECT_EQ(magenta.hue, 330);
    const effects::Hsl grey200 = effects::rgbToHsl(200, 200, 200);
    EXPECT_EQ(grey200.hue, 0);
    EXPECT_EQ(grey200.saturation, 0);
    EXPECT_EQ(grey200.lightness, 78);

    EXPECT_EQ(effects::hslToRgb(0, 100, 50), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(effects::hslToRgb(120, 100, 50), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(effects::hslToRgb(30, 100, 50), (std::array<int, 3>{255, 128, 0}));  // Rnd(127.5)
    EXPECT_EQ(effects::hslToRgb(0, 0, 78), (std::array<int, 3>{199, 199, 199}));
    EXPECT_EQ(effects::hslToRgb(0, 0, 20), (std::array<int, 3>{51, 51, 51}));
    EXPECT_EQ(effects::hslToRgb(360, 50, 50), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(effects::hslToRgb(10, 101, 50), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(effects::hslToRgb(10, 50, -1), (std::array<int, 3>{0, 0, 0}));
}

TEST(PencilSketch, ContrastCurve) {
    for (int lightness = 0; lightness <= 100; ++lightness) {
        EXPECT_EQ(effects::contrastLightness(lightness, 45), lightness);
        EXPECT_EQ(effects::contrastLightness(lightness, 0), 100);
        const int steep = effects::contrastLightness(lightness, 89);
        EXPECT_EQ(steep, lightness <= 93 ? 0 : lightness == 94 ? 50 : 100) << lightness;
    }
    EXPECT_THROW(effects::contrastLightness(50, 90), std::invalid_argument);
    EXPECT_THROW(effects::contrastLightness(50, -1), std::invalid_argument);

    // Grey 200 at 45: L = 78, back as 199. At 0 everything is white; at 89 three bands.
    EXPECT_EQ(effects::contrastTable(45)[200], (std::array<uint8_t, 3>{199, 199, 199}));
    for (int g = 0; g < 256; ++g) {
        EXPECT_EQ(effects::contrastTable(0)[g][0], 255);
        const int lightness = static_cast<int>(std::nearbyint(100.0 * g / 255));
        const int band = effects::contrastTable(89)[g][1];
        EXPECT_EQ(band, lightness <= 93 ? 0 : lightness == 94 ? 128 : 255) << g;
    }
}

TEST(PencilSketch, RenderingsMapEveryPixelByItsGrey) {
    const QImage sketch = test_pictures::noise(23, 7, 12);
    const effects::ContrastTable table = effects::contrastTable(60);
    const QImage greyed = effects::contrastSketch(sketch, 60);
    const QImage blackAndWhite = effects::thresholdSketch(sketch, 99);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 23; ++col) {
            const uint32_t in = at(sketch, col, row);
            const int g = effects::sketchGrey(colour::red(in), colour::green(in), colour::blue(in));
            EXPECT_EQ(at(greyed, col, row), colour::make(table[g][0], table[g][1], table[g][2]));
            EXPECT_EQ(at(blackAndWhite, col, row), g > 99 ? grey(255) : grey(0));
        }
    }
    EXPECT_THROW(effects::contrastSketch(sketch, 90), std::invalid_argument);
    EXPECT_THROW(effects::thresholdSketch(QImage(2, 2, QImage::Format_RGB32), 3),
                 std::invalid_argument);
    EXPECT_TRUE(effects::contrastSketch(QImage(), 45).isNull());
}

}  // namespace
