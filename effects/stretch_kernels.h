// Internal to effects/: per-pixel source positions of the one-directional stretches and
// squeezes, in extended precision in the order of their formulas. Each keeps one coordinate
// of the spherical bulge's or pinch's source and the pixel's own other coordinate. The tests
// hold them against a literal reading of the formulas.
#pragma once

#include <cmath>
#include <cstdint>

#include "effects/raster.h"
#include "effects/spherical_kernels.h"

namespace effects::detail {

// The stretch along one line (a column for the vertical stretch, a row for the horizontal):
// c = √(a² − d²) for the line's offset d from the centre, B = √(c² − k²) = √(R² − d²) the
// half-length of the disc along it. Both come from the sphere through h, as the bulge's B.
struct StretchLine {
    long double c2 = 0;
    long double b = 0;
    long double k = 0;
    long double centre = 0;  // Y for a column, X for a row

    static StretchLine of(const Sphere& sphere, int64_t strength, int64_t offset, int64_t centre) {
        const auto [a, k] = sphere;
        const long double h =
            std::sqrt(a * a - static_cast<long double>(offset * offset)) - a + strength;
        const long double c = h + k;
        const long double b2 = c * c - k * k;
        return {c * c, std::sqrt(b2 > 0 ? b2 : 0), k, static_cast<long double>(centre)};
    }

    // e = centre − i, taken as B − (i + B − centre), and the square root's argument c² − e²,
    // which the rim pixels (|e| up to B + 1/2) can drive to zero or below when k is small.
    long double offsetOf(int64_t i) const { return b - (i + b - centre); }
    long double rootArgument(int64_t i) const {
        const long double e = offsetOf(i);
        return c2 - e * e;
    }
    // The moved coordinate of pixel i along the line; needs rootArgument(i) > 0.
    double sourceOf(int64_t i) const {
        const long double e = offsetOf(i);
        return static_cast<double>(centre - k * e / std::sqrt(c2 - e * e));
    }
};

// Vertical stretch: column `col` keeps its column, the row moves.
struct VerticalStretchKernel {
    const Raster* source;
    Sphere sphere;
    int64_t strength;
    int64_t x;
    int64_t y;

    struct Column {
        const Raster* source = nullptr;
        StretchLine line;
        double col = 0;
        uint32_t operator()(int row) const {
            double sx = col;
            double sy = line.sourceOf(row);
            return sample(sx, sy, *source);
        }
    };
    Column column(int col) const {
        return {source, StretchLine::of(sphere, strength, x - col, y), static_cast<double>(col)};
    }
};

// Horizontal stretch: row `row` keeps its row, the column moves.
struct HorizontalStretchKernel {
    const Raster* source;
    Sphere sphere;
    int64_t strength;
    int64_t x;
    int64_t y;

    struct Row {
        const Raster* source = nullptr;
        StretchLine line;
        double row = 0;
        uint32_t operator()(int col) const {
            double sx = line.sourceOf(col);
            double sy = row;
            return sample(sx, sy, *source);
        }
    };
    Row row(int row) const {
        return {source, StretchLine::of(sphere, strength, y - row, x), static_cast<double>(row)};
    }
};

// The squeezes: the pinch's factor applied to the row (vertical) or the column only.
template <bool kVertical>
using SqueezeKernel = PinchFactorKernel<!kVertical, kVertical>;

}  // namespace effects::detail
