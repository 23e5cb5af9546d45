#pragma once
// RGB pictures of the player and their resampling to the size a frame is shown at.
#include <cstdint>
#include <vector>

namespace player {

// Rows of width * 3 bytes (red, green, blue), top row first, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// `source` resampled to width x height (all sides at least 1) with a tent filter: linear
// interpolation when enlarging, the tent widened to the scale when shrinking so that every
// source pixel counts.
RgbImage resample(const RgbImage& source, int width, int height);

}  // namespace player
