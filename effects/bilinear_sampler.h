// The bilinear sampler `xiangsujuhe` as a pure function.
#pragma once

#include <QImage>
#include <cstdint>

namespace effects {

// Colour (red in the low byte) blended from the four pixels around (x, y) of a
// Format_BGR888 picture, with x and y clamped in the caller's variables:
// y < 0 becomes 0, y >= H - 1 becomes H - 2, x < 0 becomes 0 and
// x > W - 2 becomes W - 2. The blend is evaluated in long double as written.
//
// Blending needs W, H >= 2; smaller pictures are handled thus:
// - height 1: there is no second row, so y is set to 0 and the one row is used with
//   weight 1 (the result blends horizontally only);
// - width 1: likewise x is set to 0 and the one column is used with weight 1;
// - an x that is NaN is set to 0 (a NaN y already falls into the y >= H - 1 branch);
// - an empty picture has nothing to sample: x and y are set to 0 and the result is 0.
// Throws std::invalid_argument for a picture in another format.
uint32_t sampleBilinear(double& x, double& y, const QImage& source);

}  // namespace effects
