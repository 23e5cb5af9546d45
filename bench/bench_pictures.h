// Pictures the benchmarks work on.
#pragma once

#include <QImage>
#include <cstdint>

namespace bench {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;

// A busy 4000 x 3000 photograph stand-in: every channel varies from pixel to
// pixel, so neither blends nor tile comparisons meet equal neighbours by chance.
QImage photograph();
// The same kind of picture at another size, from another seed (the 24 MP photographs of the
// face and warp benchmarks).
QImage photograph(int width, int height, uint32_t seed);

}  // namespace bench
