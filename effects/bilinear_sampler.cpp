#include "effects/bilinear_sampler.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "effects/raster.h"

namespace effects {

namespace detail {

uint32_t sampleThin(double& x, double& y, const detail::Raster& source) {
    const int w = source.width;
    const int h = source.height;
    if (h == 1 || y < 0) {
        y = 0;
    } else if (!(y < h - 1)) {  // NaN included
        y = h - 2;
    }
    if (w == 1 || !(x >= 0)) {
        x = 0;
    } else if (x > w - 2) {
        x = w - 2;
    }
    const int left = static_cast<int>(std::trunc(x));
    const int top = static_cast<int>(std::trunc(y));
    const int right = std::min(left + 1, w - 1);
    const int bottom = std::min(top + 1, h - 1);
    const ExactWeights weight = exactWeights(x, y, left, top);
    uint32_t channel[3];
    for (int i = 0; i < 3; ++i) {
        const long double leftColumn =
            source.pixel(left, top)[i] * weight.top + source.pixel(left, bottom)[i] * weight.bottom;
        const long double rightColumn = source.pixel(right, top)[i] * weight.top +
                                        source.pixel(right, bottom)[i] * weight.bottom;
        channel[i] = detail::roundChannel(leftColumn * weight.left + rightColumn * weight.right);
    }
    return colour::make(channel[2], channel[1], channel[0]);
}

}  // namespace detail

uint32_t sampleBilinear(double& x, double& y, const QImage& source) {
    if (source.isNull()) {
        x = 0;
        y = 0;
        return 0;
    }
    if (source.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("sampleBilinear: the picture must be in Format_BGR888");
    }
    const detail::Raster raster(source);
    if (raster.width < 2 || raster.height < 2) {
        return detail::sampleThin(x, y, raster);
    }
    return detail::sampleClamped(x, y, raster);
}

}  // namespace effects
