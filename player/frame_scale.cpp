#include "player/frame_scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace player {
namespace {

// The source pixels one target pixel along one axis is made of, with their weights.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> tapsFor(int from, int to) {
    const double scale = static_cast<double>(from) / to;
    const double radius = std::max(1.0, scale);
    std::vector<Taps> all(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int low = std::max(0, static_cast<int>(std::ceil(centre - radius)));
        const int high = std::min(from - 1, static_cast<int>(std::floor(centre + radius)));
        Taps& taps = all[static_cast<std::size_t>(i)];
        double sum = 0;
        for (int x = low; x <= high; ++x) {
            const double weight = std::max(0.0, 1.0 - std::abs(x - centre) / radius);
            taps.weights.push_back(static_cast<float>(weight));
            sum += weight;
        }
        if (sum <= 0) {  // past the edge: the nearest pixel
            taps.first = std::clamp(static_cast<int>(std::lround(centre)), 0, from - 1);
            taps.weights.assign(1, 1.0f);
            continue;
        }
        taps.first = low;
        for (float& weight : taps.weights) {
            weight = static_cast<float>(weight / sum);
        }
    }
    return all;
}

}  // namespace

RgbImage resample(const RgbImage& source, int width, int height) {
    const auto columns = tapsFor(source.width, width);
    const auto rows = tapsFor(source.height, height);
    const std::size_t sourceRow = static_cast<std::size_t>(source.width) * 3;
    const std::size_t targetRow = static_cast<std::size_t>(width) * 3;

    // Across first, into floats, then down.
    std::vector<float> across(static_cast<std::size_t>(source.height) * targetRow);
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* in = source.pixels.data() + static_cast<std::size_t>(y) * sourceRow;
        float* out = across.data() + static_cast<std::size_t>(y) * targetRow;
        for (int x = 0; x < width; ++x) {
            const Taps& taps = columns[static_cast<std::size_t>(x)];
            float sum[3] = {0, 0, 0};
            for (std::size_t t = 0; t < taps.weights.size(); ++t) {
                const std::uint8_t* pixel = in + (static_cast<std::size_t>(taps.first) + t) * 3;
                for (int c = 0; c < 3; ++c) {
                    sum[c] += taps.weights[t] * pixel[c];
                }
            }
            for (int c = 0; c < 3; ++c) {
                out[static_cast<std::size_t>(x) * 3 + c] = sum[c];
            }
        }
    }

    RgbImage target;
    target.width = width;
    target.height = height;
    target.pixels.resize(static_cast<std::size_t>(height) * targetRow);
    std::vector<float> sum(targetRow);
    for (int y = 0; y < height; ++y) {
        const Taps& taps = rows[static_cast<std::size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (std::size_t t = 0; t < taps.weights.size(); ++t) {
            const float* in =
                across.data() + (static_cast<std::size_t>(taps.first) + t) * targetRow;
            for (std::size_t i = 0; i < targetRow; ++i) {
                sum[i] += taps.weights[t] * in[i];
            }
        }
        std::uint8_t* out = target.pixels.data() + static_cast<std::size_t>(y) * targetRow;
        for (std::size_t i = 0; i < targetRow; ++i) {
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[i]), 0L, 255L));
        }
    }
    return target;
}

}  // namespace player
