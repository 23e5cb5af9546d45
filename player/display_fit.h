#pragma once
// Where a frame is shown: scaled to fit the 605 x 469 box at (5, 5) of the window, keeping its
// proportions and centred along the side it does not fill.
#include <cstdint>

namespace player {

inline constexpr int kBoxLeft = 5;
inline constexpr int kBoxTop = 5;
inline constexpr int kBoxWidth = 605;
inline constexpr int kBoxHeight = 469;

struct FitRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const FitRect&) const = default;
};

// numerator / denominator rounded to the nearest integer, halves to the even one. Both > 0.
constexpr std::int64_t roundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t quotient = numerator / denominator;
    const std::int64_t twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) {
        return quotient + 1;
    }
    return quotient;
}

// The place of a width x height frame (both at least 1). A side may round to 0 for a frame
// over 1000 times longer than it is wide or the other way round.
constexpr FitRect fitFrame(int width, int height) {
    const std::int64_t w = width;
    const std::int64_t h = height;
    if (w * kBoxHeight > kBoxWidth * h) {
        const int fitted = static_cast<int>(roundHalfEven(kBoxWidth * h, w));
        return {kBoxLeft, kBoxTop + (kBoxHeight - fitted) / 2, kBoxWidth, fitted};
    }
    const int fitted = static_cast<int>(roundHalfEven(kBoxHeight * w, h));
    return {kBoxLeft + (kBoxWidth - fitted) / 2, kBoxTop, fitted, kBoxHeight};
}

}  // namespace player
