// Internal to effects/: direct access to a Format_BGR888 raster and the sampler core the
// effects inline into their pixel loops.
#pragma once

#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "formats/colour_value.h"

namespace effects::detail {

// Read-only view of a picture's raster. Reading through constBits() never detaches, so
// the picture itself serves as the unchanged source copy of the common frame.
struct Raster {
    const uchar* bits = nullptr;
    qsizetype stride = 0;
    int width = 0;
    int height = 0;

    explicit Raster(const QImage& picture)
        : bits(picture.constBits()),
          stride(picture.bytesPerLine()),
          width(picture.width()),
          height(picture.height()) {}

    const uchar* row(int y) const { return bits + y * stride; }
    const uchar* pixel(int x, int y) const { return row(y) + 3 * x; }
};

// Pixel bytes are blue, green, red; the colour value has red in the low byte.
inline uint32_t colourValueAt(const uchar* p) {
    return colour::make(p[2], p[1], p[0]);
}
inline void storeColour(uchar* p, uint32_t value) {
    p[0] = colour::blue(value);
    p[1] = colour::green(value);
    p[2] = colour::red(value);
}

// Rnd of a blended channel, which lies in 0..255 (any v in [0, 2^63) works).
//
// std::nearbyint(long double) costs more than the whole blend (it saves and restores the
// floating-point environment), so on x87 we let the addition round: v + 2^63 lies in
// [2^63, 2^64), where the 64-bit significand has a unit step, so the sum is v rounded to an
// integer in the current rounding mode, round-half-to-even by default, exactly what
// nearbyint gives. The integer is then the sum's significand minus 2^63, read straight from
// its bytes. The tests compare it with std::nearbyint on ties and random values.
inline uint32_t roundChannel(long double v) {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__LDBL_MANT_DIG__) && \
    __LDBL_MANT_DIG__ == 64
    const long double sum = v + 0x1p63L;
    uint64_t significand;
    std::memcpy(&significand, &sum, sizeof significand);
    return static_cast<uint32_t>(significand - (uint64_t{1} << 63));
#else
    return static_cast<uint32_t>(std::nearbyint(v));
#endif
}

// The sampler's clamping on a raster with width and height >= 2: x and y
// are clamped in place, and the top-left pixel of the four to blend is returned.
inline const uchar* clampPosition(double& x, double& y, const Raster& source, int& left, int& top) {
    const int w = source.width;
    const int h = source.height;
    if (y >= 0 && y < h - 1) {
        top = static_cast<int>(y);  // y >= 0, so this is Trunc(y)
    } else if (y < 0) {
        y = 0;
        top = 0;
    } else {  // y >= H - 1, or NaN
        y = h - 2;
        top = h - 2;
    }
    if (x < 0) {
        x = 0;
    } else if (x > w - 2) {
        x = w - 2;
    } else if (std::isnan(x)) {
        x = 0;
    }
    left = static_cast<int>(x);  // 0 <= x <= W - 2: Trunc(x)
    return source.pixel(left, top);
}

// The blend weights of position (x, y) in long double, from its truncated column `left`
// and row `top`, as the exact blends use them.
struct ExactWeights {
    long double left;
    long double right;
    long double top;
    long double bottom;
};
inline ExactWeights exactWeights(double x, double y, int left, int top) {
    const long double truncX = left;
    const long double truncY = top;
    return {truncX + 1 - x, x - truncX, truncY + 1 - y, y - truncY};
}

// Step 4 for channel byte i, in long double exactly as written. tl points at the top-left
// pixel, the bottom row is `stride` bytes further on.
inline uint32_t blendChannelExact(const uchar* tl, qsizetype stride, int i, double x, double y,
                                  int left, int top) {
    const ExactWeights weight = exactWeights(x, y, left, top);
    const uchar* bl = tl + stride;
    const long double leftColumn = tl[i] * weight.top + bl[i] * weight.bottom;
    const long double rightColumn = tl[i + 3] * weight.top + bl[i + 3] * weight.bottom;
    return roundChannel(leftColumn * weight.left + rightColumn * weight.right);
}

// The reference form of the whole sampler, long double throughout. The tests hold the fast
// sampler below against it.
inline uint32_t sampleClampedExact(double& x, double& y, const Raster& source) {
    int left;
    int top;
    const uchar* tl = clampPosition(x, y, source, left, top);
    return colour::make(blendChannelExact(tl, source.stride, 2, x, y, left, top),
                        blendChannelExact(tl, source.stride, 1, x, y, left, top),
                        blendChannelExact(tl, source.stride, 0, x, y, left, top));
}

// The sampler on a raster with width and height >= 2, x and y clamped in place; the same
// result as sampleClampedExact, at a fraction of the cost.
//
// The long double blend was the effects' bottleneck (x87 code, each byte stored and
// reloaded), so each channel is blended in double first. Both blends approximate the same
// real value V = (TL·t + BL·b)·l + (TR·t + BR·b)·r, where l, r, t, b are the exact weights
// of the double position x, y, all >= 0 and t + b = l + r = 1. The weights x − Trunc(x) and
// y − Trunc(y) are exact in either precision (Sterbenz); Trunc + 1 − x is one rounding. Along
// each of the four products of V there are at most six roundings, each of relative size
// u (2^-53 for double, 2^-64 for long double), so |blend − V| <= γ6·V <= 6.01·255·u: at
// most 1.71e-13 for double and 8.4e-17 for long double. So when the double blend lies more
// than 1e-9 away from a half-integer, the long double blend lies on the same side of it
// and Rnd gives the same integer for both; only in the near-tie case do we blend again in
// long double. (Contracting a product and a sum into one FMA only removes roundings.)
[[gnu::always_inline]] inline uint32_t sampleClamped(double& x, double& y, const Raster& source) {
    int left;
    int top;
    const uchar* tl = clampPosition(x, y, source, left, top);
    const uchar* bl = tl + source.stride;
    const double truncX = left;
    const double truncY = top;
    const double leftWeight = truncX + 1 - x;
    const double rightWeight = x - truncX;
    const double topWeight = truncY + 1 - y;
    const double bottomWeight = y - truncY;
    constexpr double kSafeFromTie = 0.5 - 1e-9;
    uint32_t channel[3];
    for (int i = 0; i < 3; ++i) {
        const double leftColumn = tl[i] * topWeight + bl[i] * bottomWeight;
        const double rightColumn = tl[i + 3] * topWeight + bl[i + 3] * bottomWeight;
        const double blend = leftColumn * leftWeight + rightColumn * rightWeight;  // >= 0
        const int nearest = static_cast<int>(blend + 0.5);
        const double off = blend - nearest;  // exact: both lie within 1 of each other
        channel[i] = (off < kSafeFromTie && off > -kSafeFromTie)
                         ? static_cast<uint32_t>(nearest)
                         : blendChannelExact(tl, source.stride, i, x, y, left, top);
    }
    return colour::make(channel[2], channel[1], channel[0]);
}

// Pictures one pixel wide or high (see bilinear_sampler.h): the position is clamped to the
// one column or row, so the missing neighbour gets weight 0, and that column or row stands
// in for both neighbours. Also safe for W, H >= 2, where it gives the plain sampler's result.
uint32_t sampleThin(double& x, double& y, const Raster& source);

// The sampler for any non-empty raster.
inline uint32_t sample(double& x, double& y, const Raster& source) {
    if (source.width >= 2 && source.height >= 2) [[likely]] {
        return sampleClamped(x, y, source);
    }
    return sampleThin(x, y, source);
}

}  // namespace effects::detail
