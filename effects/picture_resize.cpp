#include "effects/picture_resize.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "effects/disc_runner.h"

namespace effects {
namespace {

// Fixed point. The horizontal pass weighs source bytes with weights summing to 2^22 and keeps
// its results with 7 fraction bits in 16-bit channels (at most 255·2^7 = 32640). The vertical
// pass weighs those with 16-bit weights summing to 2^14 when a target row takes at most four
// source rows, which lets the compiler blend 16-bit lanes, and with weights summing to 2^16
// otherwise; either sum stays below 32640·2^16 + 2^22 < 2^31. Since every set of weights sums
// exactly to its power of two, one colour comes out unchanged. Halves round up.
constexpr int kRowWeightBits = 22;
constexpr int kFractionBits = 7;
constexpr int kBlendWeightBits = 14;
constexpr int kSumWeightBits = 16;
constexpr int kRowShift = kRowWeightBits - kFractionBits;
constexpr int32_t kRowHalf = int32_t{1} << (kRowShift - 1);

// The source pixels each target pixel of one axis takes, with their fixed-point weights:
// target i takes count[i] pixels from first[i] on, their weights at weights[offset[i]...].
struct AxisTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<size_t> offset;
    std::vector<int32_t> weights;
    int maxCount = 0;

    void add(int firstIndex, const int32_t* tapWeights, int taps) {
        // Weights rounded to 0 at either end add nothing but work.
        while (taps > 1 && tapWeights[0] == 0) {
            ++firstIndex;
            ++tapWeights;
            --taps;
        }
        while (taps > 1 && tapWeights[taps - 1] == 0) {
            --taps;
        }
        first.push_back(firstIndex);
        count.push_back(taps);
        offset.push_back(weights.size());
        weights.insert(weights.end(), tapWeights, tapWeights + taps);
        maxCount = std::max(maxCount, taps);
    }
};

// Area averaging, in integers: scaled by dst, source pixel j spans [j·dst, (j+1)·dst) and
// target i spans [i·src, (i+1)·src), so the overlaps are exact and sum to src. The weights
// are the rounded cumulative overlaps' differences, which sum exactly to 2^bits, and no
// partial sum is off by more than half a unit.
void addShrinkTaps(AxisTaps& taps, int64_t src, int64_t dst, int bits) {
    std::vector<int32_t> tapWeights;
    const int64_t unit = int64_t{1} << bits;
    for (int64_t i = 0; i < dst; ++i) {
        const int64_t start = i * src;
        const int64_t end = start + src;
        const int64_t firstPixel = start / dst;
        const int64_t lastPixel = (end - 1) / dst;
        tapWeights.clear();
        int64_t covered = 0;
        int64_t previous = 0;
        for (int64_t j = firstPixel; j <= lastPixel; ++j) {
            covered += std::min(end, (j + 1) * dst) - std::max(start, j * dst);
            const int64_t cumulative = (covered * unit + src / 2) / src;
            tapWeights.push_back(static_cast<int32_t>(cumulative - previous));
            previous = cumulative;
        }
        taps.add(static_cast<int>(firstPixel), tapWeights.data(),
                 static_cast<int>(tapWeights.size()));
    }
}

// Linear interpolation with the pixel centres aligned: target i samples source position
// p = (i + 0.5)·src/dst − 0.5 = ((2i + 1)·src − dst) / (2·dst), clamped to [0, src − 1].
// (2i + 1)·src stays below 2^63 for any int sizes.
void addGrowTaps(AxisTaps& taps, int64_t src, int64_t dst, int bits) {
    const int32_t unit = int32_t{1} << bits;
    const int64_t denominator = 2 * dst;
    for (int64_t i = 0; i < dst; ++i) {
        const int64_t numerator = (2 * i + 1) * src - dst;
        int64_t left = 0;
        int32_t right = 0;  // the weight of pixel left + 1
        if (numerator > 0) {
            left = numerator / denominator;
            if (left >= src - 1) {
                left = src - 1;
            } else {
                const int64_t fraction = numerator % denominator;
                right = static_cast<int32_t>(((fraction << bits) + dst) / denominator);
            }
        }
        const int32_t pair[2] = {unit - right, right};
        taps.add(static_cast<int>(left), pair, right == 0 ? 1 : 2);
    }
}

AxisTaps axisTaps(int src, int dst, int bits) {
    AxisTaps taps;
    taps.first.reserve(static_cast<size_t>(dst));
    taps.count.reserve(static_cast<size_t>(dst));
    taps.offset.reserve(static_cast<size_t>(dst));
    if (dst < src) {
        addShrinkTaps(taps, src, dst, bits);
    } else if (dst > src) {
        addGrowTaps(taps, src, dst, bits);
    } else {
        const int32_t unit = int32_t{1} << bits;
        for (int i = 0; i < dst; ++i) {
            taps.add(i, &unit, 1);
        }
    }
    return taps;
}

// The horizontal taps with one tap count n for every column, so the row loop can be
// specialised for it: the first pixel moves left where the row would run out, and the
// weights are padded with zeros.
struct RowTaps {
    int count = 0;
    std::vector<int> first;
    std::vector<int32_t> weights;
};

RowTaps rowTaps(int src, int dst) {
    const AxisTaps taps = axisTaps(src, dst, kRowWeightBits);
    RowTaps uniform;
    const int n = taps.maxCount;
    uniform.count = n;
    uniform.first.resize(static_cast<size_t>(dst));
    uniform.weights.assign(static_cast<size_t>(dst) * n, 0);
    for (int x = 0; x < dst; ++x) {
        const int first = std::min(taps.first[x], src - n);
        uniform.first[x] = first;
        std::copy_n(
            taps.weights.begin() + static_cast<std::ptrdiff_t>(taps.offset[x]), taps.count[x],
            uniform.weights.begin() + static_cast<std::ptrdiff_t>(x) * n + (taps.first[x] - first));
    }
    return uniform;
}

// One source row resampled horizontally into `out`, 3 channels per target pixel with 7
// fraction bits. N is the tap count, 0 when only known at run time.
template <int N>
void resampleRow(const uchar* __restrict source, int16_t* __restrict out, const RowTaps& taps,
                 int width) {
    const int n = N > 0 ? N : taps.count;
    const int* first = taps.first.data();
    const int32_t* weight = taps.weights.data();
    for (int x = 0; x < width; ++x, weight += n, out += 3) {
        const uchar* p = source + 3 * static_cast<std::ptrdiff_t>(first[x]);
        int32_t blue = kRowHalf;
        int32_t green = kRowHalf;
        int32_t red = kRowHalf;
        if constexpr (N == 2) {
            // w0·a + w1·b = 2^22·a + w1·(b − a), as w0 + w1 = 2^22: half the multiplications.
            const int32_t w = weight[1];
            blue += (p[0] << kRowWeightBits) + w * (p[3] - p[0]);
            green += (p[1] << kRowWeightBits) + w * (p[4] - p[1]);
            red += (p[2] << kRowWeightBits) + w * (p[5] - p[2]);
        } else {
            for (int k = 0; k < n; ++k, p += 3) {
                blue += weight[k] * p[0];
                green += weight[k] * p[1];
                red += weight[k] * p[2];
            }
        }
        out[0] = static_cast<int16_t>(blue >> kRowShift);
        out[1] = static_cast<int16_t>(green >> kRowShift);
        out[2] = static_cast<int16_t>(red >> kRowShift);
    }
}

using RowResampler = void (*)(const uchar*, int16_t*, const RowTaps&, int);

RowResampler rowResamplerFor(int count) {
    switch (count) {
        case 1:
            return resampleRow<1>;
        case 2:
            return resampleRow<2>;
        case 3:
            return resampleRow<3>;
        case 4:
            return resampleRow<4>;
        default:
            return resampleRow<0>;
    }
}

// Rows that the blend reads together.
constexpr int kMaxBlendRows = 4;

// N resampled rows blended into one row of bytes, channel by channel in 16-bit lanes. The
// weights sum to 2^14.
template <int N>
void blendRows(const int16_t* const* rows, const int32_t* weights, uchar* __restrict out,
               size_t channels) {
    constexpr int kShift = kBlendWeightBits + kFractionBits;
    const int16_t* __restrict row[N];
    int16_t weight[N];
    for (int k = 0; k < N; ++k) {
        row[k] = rows[k];
        weight[k] = static_cast<int16_t>(weights[k]);
    }
    for (size_t i = 0; i < channels; ++i) {
        int32_t sum = int32_t{1} << (kShift - 1);
#pragma GCC unroll 4
        for (int k = 0; k < N; ++k) {
            sum += weight[k] * row[k][i];
        }
        out[i] = static_cast<uchar>(sum >> kShift);
    }
}

using RowBlender = void (*)(const int16_t* const*, const int32_t*, uchar*, size_t);
constexpr RowBlender kBlenders[kMaxBlendRows + 1] = {nullptr, blendRows<1>, blendRows<2>,
                                                     blendRows<3>, blendRows<4>};

// Adds one resampled row, weighed, to the sums of a target row; the weights sum to 2^16.
void addRow(const int16_t* __restrict line, int32_t weight, int32_t* __restrict sums,
            size_t channels) {
    for (size_t i = 0; i < channels; ++i) {
        sums[i] += weight * line[i];
    }
}

// The resampled source rows of one block of target rows, resampled as the block needs them,
// in a ring: source row r goes to slot r % ring size. The rows a target row takes are
// consecutive and their first row never moves back, so with a ring as large as a blend a row
// stays for as long as it is needed, and each source row is resampled once per block.
class RowRing {
public:
    RowRing(int rows, size_t channels)
        : rows_(rows),
          channels_(channels),
          data_(static_cast<size_t>(rows) * channels),
          held_(static_cast<size_t>(rows), -1) {}

    const int16_t* row(int sourceRow, const detail::Raster& source, const RowTaps& taps,
                       RowResampler resample, int width) {
        const int slot = sourceRow % rows_;
        int16_t* line = data_.data() + static_cast<size_t>(slot) * channels_;
        if (held_[slot] != sourceRow) {
            resample(source.row(sourceRow), line, taps, width);
            held_[slot] = sourceRow;
        }
        return line;
    }

private:
    int rows_;
    size_t channels_;
    std::vector<int16_t> data_;
    std::vector<int> held_;
};

}  // namespace

QImage resizePicture(const QImage& picture, int width, int height) {
    if (picture.isNull()) {
        throw std::invalid_argument("resizePicture: the picture is empty");
    }
    if (picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("resizePicture: the picture must be in Format_BGR888");
    }
    if (width < 1 || height < 1) {
        throw std::invalid_argument("resizePicture: the size must be at least 1 x 1, not " +
                                    std::to_string(width) + " x " + std::to_string(height));
    }
    if (width == picture.width() && height == picture.height()) {
        return picture.copy();
    }
    QImage result(width, height, QImage::Format_BGR888);
    if (result.isNull()) {
        throw std::bad_alloc();
    }
    const RowTaps horizontal = rowTaps(picture.width(), width);
    const RowResampler resample = rowResamplerFor(horizontal.count);
    // Rows taking more source rows than a blend reads at once are added up one at a time,
    // with more precise weights.
    AxisTaps vertical = axisTaps(picture.height(), height, kBlendWeightBits);
    const bool blended = vertical.maxCount <= kMaxBlendRows;
    if (!blended) {
        vertical = axisTaps(picture.height(), height, kSumWeightBits);
    }
    const detail::Raster source(picture);
    uchar* const resultBits = result.bits();
    const qsizetype resultStride = result.bytesPerLine();
    const size_t channels = static_cast<size_t>(width) * 3;
    const int ringRows = std::min(vertical.maxCount, kMaxBlendRows);

    constexpr int kRowsPerBlock = 32;
    const size_t blocks = (static_cast<size_t>(height) + kRowsPerBlock - 1) / kRowsPerBlock;
    auto processBlock = [&](size_t block) {
        RowRing ring(ringRows, channels);
        std::vector<int32_t> sums(blended ? 0 : channels);
        const int first = static_cast<int>(block) * kRowsPerBlock;
        const int last = std::min(height, first + kRowsPerBlock);
        for (int y = first; y < last; ++y) {
            uchar* out = resultBits + y * resultStride;
            const int32_t* weights = vertical.weights.data() + vertical.offset[y];
            const int count = vertical.count[y];
            if (blended) {
                const int16_t* rows[kMaxBlendRows];
                for (int k = 0; k < count; ++k) {
                    rows[k] = ring.row(vertical.first[y] + k, source, horizontal, resample, width);
                }
                kBlenders[count](rows, weights, out, channels);
                continue;
            }
            constexpr int kShift = kSumWeightBits + kFractionBits;
            std::fill(sums.begin(), sums.end(), int32_t{1} << (kShift - 1));
            for (int k = 0; k < count; ++k) {
                addRow(ring.row(vertical.first[y] + k, source, horizontal, resample, width),
                       weights[k], sums.data(), channels);
            }
            for (size_t i = 0; i < channels; ++i) {
                out[i] = static_cast<uchar>(sums[i] >> kShift);
            }
        }
    };
    NoProgress progress;
    detail::ProgressPacer pacer(progress, 0);
    detail::shareBlocks(
        blocks, static_cast<int64_t>(width) * height, 0, processBlock,
        [](size_t) { return int64_t{0}; }, pacer);
    return result;
}

}  // namespace effects
