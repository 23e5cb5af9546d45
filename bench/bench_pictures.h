// Pictures the benchmarks work on.
#pragma once

#include <QImage>

namespace bench {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;

// A busy 4000 x 3000 photograph stand-in: every channel varies from pixel to
// pixel, so neither blends nor tile comparisons meet equal neighbours by chance.
QImage photograph();

}  // namespace bench
