#include "effects/wave.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "effects/disc_runner.h"

namespace effects {
namespace {

int wrapColumn(int64_t x, int width) {
    if (x < 0) {
        return static_cast<int>((width - 1) - (-x) % width);
    }
    if (x >= width) {
        return static_cast<int>(x % width);
    }
    return static_cast<int>(x);
}

int wrapRow(int64_t y, int height) {
    if (height == 1) {
        return 0;
    }
    if (y < 0) {
        return static_cast<int>((height - 1) - (-y) % height);
    }
    if (y >= height) {
        return static_cast<int>(y % (height - 1));
    }
    return static_cast<int>(y);
}

// One row's sideways shift sin(row / b)·c, or one column's vertical shift cos(col / a)·c.
// Rnd(shift + n) for a whole n is Rnd(shift) + n unless the shift lies at a half: then the
// sum is rounded as written, in long double, since halves go to even.
struct Shift {
    long double value = 0;
    int64_t whole = 0;
    bool exact = true;  // whole + n is the rounded sum for every n in the picture

    static Shift of(long double value) {
        Shift shift;
        shift.value = value;
        shift.whole = detail::roundHalfEven(value);
        // Sums up to 2^32 keep 32 fractional bits in long double, so a shift this far from a
        // half rounds the same way whatever n is added.
        shift.exact = std::fabs(value - static_cast<long double>(shift.whole)) < 0.5L - 1e-6L;
        return shift;
    }
    int64_t plus(int n) const {
        return exact ? whole + n : detail::roundHalfEven(value + static_cast<long double>(n));
    }
};

Shift rowShift(int row, int b, int c) {
    return Shift::of(std::sin(static_cast<long double>(row) / b) * c);
}
Shift columnShift(int col, int a, int c) {
    return Shift::of(std::cos(static_cast<long double>(col) / a) * c);
}

}  // namespace

bool wave(QImage& picture, int a, int b, int c, Progress& progress) {
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("wave: the picture must be in Format_BGR888");
    }
    if (a == 0 || b == 0) {
        return false;
    }
    const int width = picture.width();
    const int height = picture.height();
    detail::ProgressPacer pacer(progress, height);
    if (picture.isNull()) {
        pacer.finish();
        return true;
    }

    // The vertical shift depends on the column only: one whole offset per column, and the
    // source rows for the offsets that occur, per destination row.
    std::vector<Shift> columns(static_cast<size_t>(width));
    int64_t reach = 0;
    bool columnsExact = true;
    for (int col = 0; col < width; ++col) {
        columns[col] = columnShift(col, a, c);
        columnsExact = columnsExact && columns[col].exact;
        reach = std::max<int64_t>(reach, std::llabs(columns[col].whole));
    }
    // Offsets beyond a few rows (a huge amplitude) or at halves go the general way.
    constexpr int64_t kTableReach = 256;
    const bool tabled = columnsExact && reach <= kTableReach;
    std::vector<int> offsetIndex(static_cast<size_t>(width));
    if (tabled) {
        for (int col = 0; col < width; ++col) {
            offsetIndex[col] = static_cast<int>(columns[col].whole + reach);
        }
    }

    const detail::Raster source(picture);
    QImage result(width, height, QImage::Format_BGR888);
    if (result.isNull()) {
        throw std::bad_alloc();
    }
    uchar* const resultBits = result.bits();
    const qsizetype resultStride = result.bytesPerLine();

    auto waveRow = [&](int row, std::vector<const uchar*>& sourceRows) {
        uchar* dst = resultBits + row * resultStride;
        const Shift sideways = rowShift(row, b, c);
        if (tabled && sideways.exact) {
            for (int64_t k = -reach; k <= reach; ++k) {
                sourceRows[k + reach] = source.row(wrapRow(row + k, height));
            }
            const int64_t shift = sideways.whole;
            for (int col = 0; col < width; ++col, dst += 3) {
                int64_t x = col + shift;
                if (x < 0 || x >= width) {
                    x = wrapColumn(x, width);
                }
                std::memcpy(dst, sourceRows[offsetIndex[col]] + 3 * x, 3);
            }
            return;
        }
        for (int col = 0; col < width; ++col, dst += 3) {
            const int x = wrapColumn(sideways.plus(col), width);
            const int y = wrapRow(columns[col].plus(row), height);
            std::memcpy(dst, source.pixel(x, y), 3);
        }
    };

    constexpr int kRowsPerBlock = 16;
    const size_t blocks = (static_cast<size_t>(height) + kRowsPerBlock - 1) / kRowsPerBlock;
    auto processBlock = [&](size_t block) {
        std::vector<const uchar*> sourceRows(tabled ? static_cast<size_t>(2 * reach + 1) : 0);
        const int first = static_cast<int>(block) * kRowsPerBlock;
        const int last = std::min(height, first + kRowsPerBlock);
        for (int row = first; row < last; ++row) {
            waveRow(row, sourceRows);
        }
    };
    auto units = [&](size_t block) {
        const int first = static_cast<int>(block) * kRowsPerBlock;
        return static_cast<int64_t>(std::min(height, first + kRowsPerBlock) - first);
    };
    detail::shareBlocks(blocks, static_cast<int64_t>(width) * height, height, processBlock, units,
                        pacer);
    pacer.finish();
    picture = std::move(result);
    return true;
}

}  // namespace effects
