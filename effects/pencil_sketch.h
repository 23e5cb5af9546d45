// The pencil sketch: the edge image the Sketch page keeps (`picsobel`), its black-and-white
// rendering by a threshold (`twovalue`) and its grey rendering through a contrast curve, as
// pure functions. All walk the raster row by row.
#pragma once

#include <QImage>
#include <array>
#include <cstdint>

namespace effects {

// Grey(R, G, B) = Rnd(0.3·R + 0.59·G + 0.11·B) in long double, halves to even, for channels
// 0..255. The sum is n / 100 with n = 30·R + 59·G + 11·B; unless n / 100 lies at a half it is
// at least 0.01 away from one, far beyond the long double's rounding, so integer arithmetic
// gives the same grey. Only at the halves does the long double sum decide the side.
constexpr int greySum(int red, int green, int blue) {
    return 30 * red + 59 * green + 11 * blue;
}
constexpr bool greySumAtHalf(int sum) {
    return sum % 100 == 50;
}
constexpr int greyOfSum(int sum) {  // for sums not at a half
    return (sum + 50) / 100;
}
int sketchGreyAtHalf(int red, int green, int blue);
inline int sketchGrey(int red, int green, int blue) {
    const int sum = greySum(red, green, blue);
    return greySumAtHalf(sum) ? sketchGreyAtHalf(red, green, blue) : greyOfSum(sum);
}

// The inverted edge image of a Format_BGR888 picture, in Format_BGR888: inside the one-pixel
// frame each channel is the larger of a line value (kernel −1 −1 −1 / 0 6 0 / −1 −1 −1) and a
// gradient value (kernel +1 0 −1 / +1 0 −m / +1 0 −1, m = 2 for green, else 1), each clamped
// to 0..255; the frame keeps the picture's colours; then every channel v becomes 255 − v.
// Pictures of width or height <= 2 have no inside: the result is the inverted picture.
// Throws std::invalid_argument for a picture in another format.
QImage edgeImage(const QImage& picture);

// The black-and-white rendering of an edge image: pixels whose grey is above `threshold`
// become white, all others black. Format_BGR888 in and out; throws as edgeImage().
QImage thresholdSketch(const QImage& sketch, int threshold);

struct Hsl {
    int hue;         // 0..359
    int saturation;  // 0..100
    int lightness;   // 0..100
};
Hsl rgbToHsl(int red, int green, int blue);
// Channels red, green, blue; all 0 when hue is outside 0..359 or the others outside 0..100.
std::array<int, 3> hslToRgb(int hue, int saturation, int lightness);

// The contrast curve on a lightness 0..100 for the angle p in degrees (0..89): the identity
// at 45, all white (100) at 0, steeper towards 89. The result is clamped to 0..100.
// Throws std::invalid_argument for an angle outside 0..89.
int contrastLightness(int lightness, int angle);

// What each grey 0..255 of the edge image becomes under the contrast rendering with `angle`:
// grey, to HSL, the curve on the lightness, back to RGB. Entries are red, green, blue.
using ContrastTable = std::array<std::array<uint8_t, 3>, 256>;
ContrastTable contrastTable(int angle);

// The grey rendering of an edge image: every pixel takes the contrastTable() entry of its
// grey. Format_BGR888 in and out; throws as edgeImage() and contrastLightness().
//
// Worked on a 32-bit copy (blue, green, red, alpha per pixel) the result would be the same
// once back in 24 bits, since only the alpha byte differs; the conversions there and back
// alone would cost more than two copies of the picture.
QImage contrastSketch(const QImage& sketch, int angle);

}  // namespace effects
