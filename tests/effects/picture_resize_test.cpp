#include "effects/picture_resize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "test_pictures.h"

using test_pictures::at;

namespace {

// Blue, green and red bytes of a picture one pixel high or wide, along its length.
using Channels = std::vector<std::vector<int>>;

// The line `in` laid along the rows or the columns, resized to n along its length.
Channels resizedLine(const Channels& in, int n, bool alongRows) {
    const int length = static_cast<int>(in[0].size());
    QImage picture(alongRows ? length : 1, alongRows ? 1 : length, QImage::Format_BGR888);
    for (int i = 0; i < length; ++i) {
        uchar* p = picture.scanLine(alongRows ? 0 : i) + (alongRows ? 3 * i : 0);
        for (int c = 0; c < 3; ++c) {
            p[c] = static_cast<uchar>(in[c][i]);
        }
    }
    const QImage result = effects::resizePicture(picture, alongRows ? n : 1, alongRows ? 1 : n);
    Channels out(3);
    for (int i = 0; i < n; ++i) {
        const uchar* p = result.constScanLine(alongRows ? 0 : i) + (alongRows ? 3 * i : 0);
        for (int c = 0; c < 3; ++c) {
            out[c].push_back(p[c]);
        }
    }
    return out;
}

// Each case is worked out by hand and checked along the rows and along the columns.
struct HandCase {
    const char* what;
    Channels in;
    Channels out;
};

void expectBothAxes(const HandCase& c) {
    const int n = static_cast<int>(c.out[0].size());
    EXPECT_EQ(resizedLine(c.in, n, true), c.out) << c.what << ", along the rows";
    EXPECT_EQ(resizedLine(c.in, n, false), c.out) << c.what << ", along the columns";
}

TEST(PictureResize, ShrinkingAveragesTheCoveredPixels) {
    for (const HandCase& c : {
             // 4 -> 2: each target pixel covers two source pixels, weight 1/2 each.
             // Halves round up: (10 + 21) / 2 = 15.5 -> 16.
             HandCase{"4 to 2",
                      {{10, 20, 30, 40}, {0, 0, 255, 255}, {10, 21, 7, 8}},
                      {{15, 35}, {0, 255}, {16, 8}}},
             // 3 -> 2: target 0 covers pixel 0 and half of pixel 1 (weights 2/3, 1/3),
             // target 1 the other half of pixel 1 and pixel 2 (1/3, 2/3).
             // 0·2/3 + 100/3 = 33.3; 100/3 + 255·2/3 = 203.3; 30·2/3 + 60/3 = 40.
             HandCase{"3 to 2",
                      {{0, 100, 255}, {30, 60, 90}, {255, 0, 0}},
                      {{33, 203}, {40, 80}, {170, 0}}},
             // 5 -> 3: each target covers 5/3 source pixels: weights 3/5 2/5, then
             // 1/5 3/5 1/5, then 2/5 3/5.
             // 10·.6 + 60·.4 = 30; 60·.2 + 110·.6 + 160·.2 = 110; 160·.4 + 210·.6 = 190.
             // 0·.6 + 255·.4 = 102; 255·.2 + 0 + 255·.2 = 102; 102.
             HandCase{"5 to 3",
                      {{10, 60, 110, 160, 210}, {0, 255, 0, 255, 0}, {9, 9, 9, 9, 9}},
                      {{30, 110, 190}, {102, 102, 102}, {9, 9, 9}}},
             // 7 -> 1: the plain mean, (1 + 2 + ... + 7) · 10 / 7 = 40.
             HandCase{
                 "7 to 1",
                 {{10, 20, 30, 40, 50, 60, 70}, {0, 0, 0, 0, 0, 0, 255}, {1, 1, 1, 1, 1, 1, 2}},
                 {{40}, {36}, {1}}},
         }) {
        expectBothAxes(c);
    }
}

TEST(PictureResize, GrowingInterpolatesBetweenPixelCentres) {
    for (const HandCase& c : {
             // 2 -> 4: positions (i + 0.5)/2 − 0.5 = −0.25, 0.25, 0.75, 1.25, clamped to
             // 0, 0.25, 0.75, 1: 10, 10·.75 + 91·.25 = 30.25, 10·.25 + 91·.75 = 70.75, 91.
             HandCase{"2 to 4",
                      {{10, 91}, {200, 0}, {5, 5}},
                      {{10, 30, 71, 91}, {200, 150, 50, 0}, {5, 5, 5, 5}}},
             // 3 -> 5: positions (i + 0.5)·0.6 − 0.5 = −0.2, 0.4, 1, 1.6, 2.2, clamped to
             // 0, 0.4, 1, 1.6, 2.
             HandCase{"3 to 5",
                      {{0, 100, 200}, {255, 0, 255}, {7, 17, 27}},
                      {{0, 40, 100, 160, 200}, {255, 153, 0, 153, 255}, {7, 11, 17, 23, 27}}},
             // One source pixel stands for every target pixel.
             HandCase{"1 to 3", {{4}, {5}, {6}}, {{4, 4, 4}, {5, 5, 5}, {6, 6, 6}}},
         }) {
        expectBothAxes(c);
    }
}

// Each axis follows its own rule: the 4 x 2 picture to 2 x 3 averages column pairs, then
// interpolates the two rows at positions 0, 0.5 and 1.
TEST(PictureResize, ShrinksOneAxisWhileGrowingTheOther) {
    QImage picture(4, 2, QImage::Format_BGR888);
    const int top[] = {10, 30, 50, 70};
    const int bottom[] = {110, 130, 150, 171};
    for (int x = 0; x < 4; ++x) {
        test_pictures::put(picture, x, 0, colour::make(top[x], 255 - top[x], 0));
        test_pictures::put(picture, x, 1, colour::make(bottom[x], 255 - bottom[x], 0));
    }
    const QImage result = effects::resizePicture(picture, 2, 3);
    ASSERT_EQ(result.size(), QSize(2, 3));
    // Column averages: top 20, 60; bottom 120, 160.5. Rows: top, the mean of both, bottom.
    const int expectedRed[3][2] = {{20, 60}, {70, 110}, {120, 161}};
    const int expectedGreen[3][2] = {{235, 195}, {185, 145}, {135, 95}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(colour::red(at(result, x, y)), expectedRed[y][x]) << x << "," << y;
            EXPECT_EQ(colour::green(at(result, x, y)), expectedGreen[y][x]) << x << "," << y;
            EXPECT_EQ(colour::blue(at(result, x, y)), 0u) << x << "," << y;
        }
    }
}

// The definition in double: the weights of each target index along one axis.
std::vector<std::vector<double>> referenceWeights(int src, int dst) {
    std::vector<std::vector<double>> weights(dst, std::vector<double>(src, 0.0));
    const double s = static_cast<double>(src) / dst;
    for (int i = 0; i < dst; ++i) {
        if (dst == src) {
            weights[i][i] = 1;
        } else if (dst < src) {
            const double start = i * s;
            const double end = (i + 1) * s;
            for (int j = 0; j < src; ++j) {
                const double overlap = std::min<double>(end, j + 1) - std::max<double>(start, j);
                weights[i][j] = std::max(0.0, overlap) / s;
            }
        } else {
            const double p = std::clamp((i + 0.5) * s - 0.5, 0.0, src - 1.0);
            const int left = static_cast<int>(p);
            weights[i][left] += 1 - (p - left);
            if (left + 1 < src) {
                weights[i][left + 1] += p - left;
            }
        }
    }
    return weights;
}

// Both axes in double, rounded once at the end.
QImage referenceResize(const QImage& picture, int width, int height) {
    const auto across = referenceWeights(picture.width(), width);
    const auto down = referenceWeights(picture.height(), height);
    std::vector<double> rows(static_cast<size_t>(picture.height()) * width * 3, 0.0);
    for (int sy = 0; sy < picture.height(); ++sy) {
        const uchar* source = picture.constScanLine(sy);
        double* row = &rows[static_cast<size_t>(sy) * width * 3];
        for (int x = 0; x < width; ++x) {
            for (int sx = 0; sx < picture.width(); ++sx) {
                if (across[x][sx] == 0) {
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    row[3 * x + c] += across[x][sx] * source[3 * sx + c];
                }
            }
        }
    }
    QImage result(width, height, QImage::Format_BGR888);
    std::vector<double> sums(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (int sy = 0; sy < picture.height(); ++sy) {
            if (down[y][sy] == 0) {
                continue;
            }
            for (int i = 0; i < 3 * width; ++i) {
                sums[i] += down[y][sy] * rows[static_cast<size_t>(sy) * width * 3 + i];
            }
        }
        uchar* out = result.scanLine(y);
        for (int i = 0; i < 3 * width; ++i) {
            out[i] = static_cast<uchar>(std::lround(sums[i]));
        }
    }
    return result;
}

// Fixed-point rounding may tip a value lying within a hair of a half the other way, never
// further; the weights must not tilt the results to one side. The larger sizes are shared out
// between threads and reuse the ring of resampled rows.
TEST(PictureResize, MatchesTheDefinitionOnNoise) {
    const QImage small = test_pictures::noise(61, 47, 99);
    const QImage large = test_pictures::noise(240, 190, 7);
    const std::pair<const QImage*, QSize> cases[] = {
        {&small, {30, 23}},   {&small, {61, 20}},  {&small, {20, 47}},  {&small, {9, 5}},
        {&small, {1, 1}},     {&small, {122, 94}}, {&small, {200, 13}}, {&small, {17, 150}},
        {&small, {60, 48}},   {&small, {62, 46}},  {&small, {3, 200}},  {&large, {301, 253}},
        {&large, {173, 419}},
    };
    int compared = 0;
    int off = 0;
    for (const auto& [picture, size] : cases) {
        const QImage result = effects::resizePicture(*picture, size.width(), size.height());
        ASSERT_EQ(result.size(), size);
        ASSERT_EQ(result.format(), QImage::Format_BGR888);
        const QImage expected = referenceResize(*picture, size.width(), size.height());
        for (int y = 0; y < size.height(); ++y) {
            for (int i = 0; i < 3 * size.width(); ++i) {
                const int got = result.constScanLine(y)[i];
                const int want = expected.constScanLine(y)[i];
                ASSERT_LE(std::abs(got - want), 1)
                    << size.width() << "x" << size.height() << " at " << i / 3 << "," << y;
                off += got != want;
                ++compared;
            }
        }
    }
    EXPECT_LT(off, compared / 100) << off << " of " << compared << " channels off by one";
}

TEST(PictureResize, SameSizeIsACopy) {
    const QImage picture = test_pictures::noise(13, 8, 3);
    const QImage result = effects::resizePicture(picture, 13, 8);
    EXPECT_TRUE(test_pictures::samePixels(result, picture));
    // Only one axis keeps its size: that axis is copied, the other one resampled.
    const QImage wider = effects::resizePicture(picture, 26, 8);
    const QImage reference = referenceResize(picture, 26, 8);
    EXPECT_TRUE(test_pictures::samePixels(wider, reference));
}

TEST(PictureResize, OneColourStaysExactlyThatColour) {
    const QSize sizes[][2] = {
        {{1, 1}, {1000, 1}},  {{1000, 1}, {1, 1}},   {{1, 1000}, {1, 1}},   {{1, 1}, {1, 1000}},
        {{1, 7}, {5, 3}},     {{7, 1}, {3, 11}},     {{13, 17}, {17, 13}},  {{97, 89}, {2, 3}},
        {{2, 3}, {97, 89}},   {{3000, 2}, {7, 5}},   {{5, 3001}, {3, 11}},  {{31, 37}, {31, 38}},
        {{30000, 1}, {1, 1}}, {{41, 43}, {1000, 1}}, {{1000, 1}, {41, 43}}, {{23, 29}, {29, 23}},
    };
    const uint32_t colours[] = {colour::make(0, 0, 0), colour::make(255, 255, 255),
                                colour::make(1, 254, 128), colour::make(127, 3, 200)};
    for (const auto& pair : sizes) {
        for (uint32_t value : colours) {
            QImage picture(pair[0], QImage::Format_BGR888);
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    test_pictures::put(picture, x, y, value);
                }
            }
            const QImage result =
                effects::resizePicture(picture, pair[1].width(), pair[1].height());
            ASSERT_EQ(result.size(), pair[1]);
            int wrong = 0;
            for (int y = 0; y < result.height(); ++y) {
                for (int x = 0; x < result.width(); ++x) {
                    wrong += at(result, x, y) != value;
                }
            }
            EXPECT_EQ(wrong, 0) << pair[0].width() << "x" << pair[0].height() << " to "
                                << pair[1].width() << "x" << pair[1].height() << ", colour "
                                << std::hex << value;
        }
    }
}

TEST(PictureResize, BadArgumentsThrow) {
    const QImage picture = test_pictures::noise(4, 3, 1);
    EXPECT_THROW(effects::resizePicture(QImage(), 2, 2), std::invalid_argument);
    EXPECT_THROW(effects::resizePicture(picture.convertToFormat(QImage::Format_RGB32), 2, 2),
                 std::invalid_argument);
    EXPECT_THROW(effects::resizePicture(picture, 0, 2), std::invalid_argument);
    EXPECT_THROW(effects::resizePicture(picture, 2, 0), std::invalid_argument);
    EXPECT_THROW(effects::resizePicture(picture, -3, 2), std::invalid_argument);
    EXPECT_THROW(effects::resizePicture(picture, 4, -1), std::invalid_argument);
}

}  // namespace
