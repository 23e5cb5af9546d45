#pragma once
// JPEG pictures for the player's tests, written with libjpeg from generated pixels.
#include <cstdint>
#include <functional>
#include <vector>

namespace player_test {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// Grey takes the colour's green; Cmyk stores red, green, blue as the inverted inks cyan,
// magenta, yellow (with an Adobe marker) and 128 as black. ManyScans is a grey progressive
// picture of 631 scans: each AC coefficient alone, in ten steps of precision.
enum class JpegKind { Baseline, Progressive, Grey, Cmyk, ManyScans };

// A width x height JPEG whose pixel (x, y) is colour(x, y); quality 95.
std::vector<std::uint8_t> encodeJpeg(int width, int height,
                                     const std::function<Rgb(int x, int y)>& colour,
                                     JpegKind kind = JpegKind::Baseline);

inline std::vector<std::uint8_t> solidJpeg(int width, int height, Rgb colour) {
    return encodeJpeg(width, height, [colour](int, int) { return colour; });
}

}  // namespace player_test
