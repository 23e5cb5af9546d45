#include "effects/pencil_sketch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "effects/disc_runner.h"

namespace effects {
namespace {

int rnd(long double v) {
    return static_cast<int>(detail::roundHalfEven(v));
}

void checkFormat(const QImage& picture, const char* operation) {
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the picture must be in Format_BGR888");
    }
}

// Runs rows(first, last) over blocks of rows on both cores; nothing here reports progress.
template <class Rows>
void forRowBlocks(int height, int width, const Rows& rows) {
    constexpr int kRowsPerBlock = 32;
    const size_t blocks =
        (static_cast<size_t>(std::max(height, 0)) + kRowsPerBlock - 1) / kRowsPerBlock;
    NoProgress none;
    detail::ProgressPacer pacer(none, 0);
    detail::shareBlocks(
        blocks, static_cast<int64_t>(width) * height, 0,
        [&](size_t block) {
            const int first = static_cast<int>(block) * kRowsPerBlock;
            rows(first, std::min(height, first + kRowsPerBlock));
        },
        [](size_t) { return int64_t{0}; }, pacer);
}

QImage newPictureLike(const QImage& picture) {
    QImage result(picture.size(), QImage::Format_BGR888);
    if (result.isNull() && !picture.isNull()) {
        throw std::bad_alloc();
    }
    return result;
}

}  // namespace

int sketchGreyAtHalf(int red, int green, int blue) {
    return rnd(0.3L * red + 0.59L * green + 0.11L * blue);
}

namespace {

// One row of the edge image inside the frame: bytes 3 .. rowBytes − 4 of rows p, q, r (above,
// at and below the row). Byte i is channel i % 3 of its pixel, its neighbours lie 3 bytes
// away, and greenWeight[i] is the weight m of the right neighbour in row q. The larger of
// the two clamped kernel values is the clamp of the larger value; the loop is written so
// the compiler can run it on vectors.
void edgeRow(const uchar* __restrict p, const uchar* __restrict q, const uchar* __restrict r,
             const uchar* __restrict greenWeight, uchar* __restrict out, qsizetype rowBytes) {
    for (qsizetype i = 3; i < rowBytes - 3; ++i) {
        const int line = 6 * q[i] - p[i - 3] - p[i] - p[i + 3] - r[i - 3] - r[i] - r[i + 3];
        const int gradient =
            p[i - 3] + q[i - 3] + r[i - 3] - p[i + 3] - greenWeight[i] * q[i + 3] - r[i + 3];
        out[i] = static_cast<uchar>(255 - std::clamp(std::max(line, gradient), 0, 255));
    }
}

void invertBytes(const uchar* in, uchar* out, qsizetype count) {
    for (qsizetype i = 0; i < count; ++i) {
        out[i] = static_cast<uchar>(255 - in[i]);
    }
}

// Replaces every pixel of a Format_BGR888 picture by the table entry of its grey. The grey
// is looked up by the sum n = 30·R + 59·G + 11·B, through a table of the output bytes for
// every n; at the halves (n ending in 50) the channels decide the grey, marked by a set top
// byte.
QImage mapGreys(const QImage& sketch, const ContrastTable& table) {
    constexpr uint32_t kAtHalf = 0xff000000u;
    auto packed = [](const std::array<uint8_t, 3>& rgb) {
        return rgb[2] | rgb[1] << 8 | uint32_t{rgb[0]} << 16;  // blue, green, red bytes
    };
    std::vector<uint32_t> bytesOfSum(25501);
    for (int n = 0; n <= 25500; ++n) {
        bytesOfSum[n] = greySumAtHalf(n) ? kAtHalf : packed(table[greyOfSum(n)]);
    }
    auto mapped = [&](const uchar* in) {
        const uint32_t bytes = bytesOfSum[greySum(in[2], in[1], in[0])];
        return bytes != kAtHalf ? bytes : packed(table[sketchGreyAtHalf(in[2], in[1], in[0])]);
    };
    QImage result = newPictureLike(sketch);
    uchar* const resultBits = result.bits();  // detached once, before the threads write
    const qsizetype stride = result.bytesPerLine();
    const int width = sketch.width();
    forRowBlocks(sketch.height(), width, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const uchar* in = sketch.constScanLine(y);
            uchar* out = resultBits + y * stride;
            int x = 0;
            // Four pixels are twelve bytes: three whole words to store.
            for (; x + 4 <= width; x += 4, in += 12, out += 12) {
                const uint32_t p0 = mapped(in);
                const uint32_t p1 = mapped(in + 3);
                const uint32_t p2 = mapped(in + 6);
                const uint32_t p3 = mapped(in + 9);
                const uint32_t words[3] = {p0 | p1 << 24, p1 >> 8 | p2 << 16, p2 >> 16 | p3 << 8};
                std::memcpy(out, words, 12);
            }
            for (; x < width; ++x, in += 3, out += 3) {
                const uint32_t bytes = mapped(in);
                std::memcpy(out, &bytes, 3);
            }
        }
    });
    return result;
}

}  // namespace

QImage edgeImage(const QImage& picture) {
    checkFormat(picture, "edgeImage");
    QImage result = newPictureLike(picture);
    const int width = picture.width();
    const int height = picture.height();
    const qsizetype rowBytes = 3 * static_cast<qsizetype>(width);
    uchar* const resultBits = result.bits();  // detached once, before the threads write
    const qsizetype stride = result.bytesPerLine();
    std::vector<uchar> greenWeight(static_cast<size_t>(rowBytes));
    for (qsizetype i = 0; i < rowBytes; ++i) {
        greenWeight[i] = i % 3 == 1 ? 2 : 1;  // green weighs its right neighbour twice
    }
    forRowBlocks(height, width, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const uchar* q = picture.constScanLine(y);
            uchar* out = resultBits + y * stride;
            if (y < 1 || y > height - 2 || width <= 2) {
                invertBytes(q, out, rowBytes);
                continue;
            }
            invertBytes(q, out, 3);  // the frame's left and right pixels
            invertBytes(q + rowBytes - 3, out + rowBytes - 3, 3);
            edgeRow(picture.constScanLine(y - 1), q, picture.constScanLine(y + 1),
                    greenWeight.data(), out, rowBytes);
        }
    });
    return result;
}

QImage thresholdSketch(const QImage& sketch, int threshold) {
    checkFormat(sketch, "thresholdSketch");
    ContrastTable table;
    for (int g = 0; g < 256; ++g) {
        const uint8_t v = g > threshold ? 255 : 0;
        table[g] = {v, v, v};
    }
    return mapGreys(sketch, table);
}

QImage contrastSketch(const QImage& sketch, int angle) {
    checkFormat(sketch, "contrastSketch");
    return mapGreys(sketch, contrastTable(angle));
}

Hsl rgbToHsl(int red, int green, int blue) {
    const long double r = red / 255.0L;
    const long double g = green / 255.0L;
    const long double b = blue / 255.0L;
    const long double mx = std::max({r, g, b});
    const long double mn = std::min({r, g, b});
    const long double l = (mx + mn) / 2;
    long double h = 0;
    long double s = 0;
    if (mx != mn) {
        s = l < 0.5L ? (mx - mn) / (mx + mn) : (mx - mn) / (2 - mx - mn);
        if (r == mx) {
            h = (g - b) / (mx - mn);
        } else if (g == mx) {
            h = (b - r) / (mx - mn) + 2;
        } else {
            h = (r - g) / (mx - mn) + 4;
        }
        h /= 6;
        if (h < 0) {
            h += 1;
        }
    }
    return {rnd(h * 360), rnd(s * 100), rnd(l * 100)};
}

std::array<int, 3> hslToRgb(int hue, int saturation, int lightness) {
    if (hue < 0 || hue > 359 || saturation < 0 || saturation > 100 || lightness < 0 ||
        lightness > 100) {
        return {0, 0, 0};
    }
    // The pure hue, 255 / 60 = 4.25 per degree.
    std::array<int, 3> c;
    const long double h = hue;
    if (hue <= 60) {
        c = {255, rnd(4.25L * h), 0};
    } else if (hue <= 120) {
        c = {rnd(255 - 4.25L * (h - 60)), 255, 0};
    } else if (hue <= 180) {
        c = {0, 255, rnd(4.25L * (h - 120))};
    } else if (hue <= 240) {
        c = {0, rnd(255 - 4.25L * (h - 180)), 255};
    } else if (hue <= 300) {
        c = {rnd(4.25L * (h - 240)), 0, 255};
    } else {
        c = {255, 0, rnd(255 - 4.25L * (h - 300))};
    }
    // Less saturation blends towards mid-grey 128.
    const long double d = std::abs(saturation - 100) / 100.0L;
    for (int& v : c) {
        v = rnd(v - (v - 128) * d);
    }
    // Lightness blends towards white above 50 and towards black below it.
    const long double f = (lightness - 50) / 50.0L;
    for (int& v : c) {
        if (f > 0) {
            v = rnd(v + (255 - v) * f);
        } else if (f < 0) {
            v = rnd(v + v * f);
        }
    }
    return c;
}

int contrastLightness(int lightness, int angle) {
    if (angle < 0 || angle > 89) {
        throw std::invalid_argument("contrast: the angle must be 0..89 degrees, not " +
                                    std::to_string(angle));
    }
    const long double slope = std::tan(angle * std::numbers::pi_v<long double> / 180);
    const int curved = angle >= 45 ? rnd(slope * (lightness - angle - 5)) + 50
                                   : rnd(slope * (lightness - 55)) + 100 - angle;
    return std::clamp(curved, 0, 100);
}

ContrastTable contrastTable(int angle) {
    ContrastTable table;
    for (int g = 0; g < 256; ++g) {
        const Hsl hsl = rgbToHsl(g, g, g);
        const std::array<int, 3> rgb =
            hslToRgb(hsl.hue, hsl.saturation, contrastLightness(hsl.lightness, angle));
        for (int i = 0; i < 3; ++i) {
            table[g][i] = static_cast<uint8_t>(rgb[i]);
        }
    }
    return table;
}

}  // namespace effects
