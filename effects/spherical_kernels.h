// Internal to effects/: the sphere model and the per-pixel source positions of the
// spherical bulge and pinch, in extended precision in the order of their formulas.
// The tests hold the positions against a literal reading of the formulas.
#pragma once

#include <cmath>
#include <cstdint>

#include "effects/raster.h"

namespace effects::detail {

// The sphere through the disc's rim: radius a and the depth k of its centre below the
// picture, in extended precision from integer R², S² and 2·S. k is taken as a − S, the
// first of the two equal forms (the quotient (R² − S²) / (2·S) can differ in the last bit).
struct Sphere {
    long double a;
    long double k;
};

inline Sphere sphereOf(int64_t radius, int64_t strength) {
    const long double a = static_cast<long double>(radius * radius + strength * strength) /
                          static_cast<long double>(2 * strength);
    return {a, a - strength};
}

// The colour of a kernel column's pixel in `row`: the sampler at column.sourceOf(row).
template <class Column>
uint32_t sampleSourceOf(const Column& column, int row) {
    double sx;
    double sy;
    column.sourceOf(row, sx, sy);
    return sample(sx, sy, *column.source);
}

// Bulge of one destination pixel: the source lies on the line from the centre through the
// pixel, at k / √(a² − r²) of its distance.
struct BulgeKernel {
    const Raster* source;
    long double a2;
    long double k;
    int64_t x;
    int64_t y;

    struct Column {
        const Raster* source = nullptr;
        long double a2MinusDx2 = 0;
        long double kDx = 0;
        long double k = 0;
        long double x = 0;
        int64_t y = 0;

        // The source position of (col, row), rounded to the sampler's doubles.
        void sourceOf(int row, double& sx, double& sy) const {
            const int64_t dy = y - row;
            const long double q = std::sqrt(a2MinusDx2 - static_cast<long double>(dy * dy));
            sx = static_cast<double>(x - kDx / q);
            sy = static_cast<double>(y - k * dy / q);
        }
        uint32_t operator()(int row) const { return sampleSourceOf(*this, row); }
    };

    Column column(int col) const {
        const int64_t dx = x - col;
        return {
            source, a2 - static_cast<long double>(dx * dx), k * dx, k, static_cast<long double>(x),
            y};
    }
};

// The pinch's factor f = k·a / (ρx·ρy), with ρy looked up per row, applied to the pixel's
// offset from the centre: to both coordinates for the spherical pinch, to one only for the
// squeezes. A coordinate that does not move is the pixel's own.
template <bool kMovesColumn, bool kMovesRow>
struct PinchFactorKernel {
    const Raster* source;
    long double ka;
    long double k2;
    int64_t x;
    int64_t y;
    const long double* rhoYOfRow;  // indexed by picture row - rowBase
    int rowBase;

    struct Column {
        const Raster* source = nullptr;
        const long double* rhoYOfRow = nullptr;
        int rowBase = 0;
        long double rhoX = 0;
        long double ka = 0;
        int64_t dx = 0;
        int64_t col = 0;
        long double x = 0;
        int64_t y = 0;

        void sourceOf(int row, double& sx, double& sy) const {
            const int64_t dy = y - row;
            const long double f = ka / (rhoX * rhoYOfRow[row - rowBase]);
            sx = kMovesColumn ? static_cast<double>(x - dx * f) : static_cast<double>(col);
            sy = kMovesRow ? static_cast<double>(y - dy * f) : static_cast<double>(row);
        }
        uint32_t operator()(int row) const { return sampleSourceOf(*this, row); }
    };

    Column column(int col) const {
        const int64_t dx = x - col;
        return {source, rhoYOfRow, rowBase, std::sqrt(k2 + static_cast<long double>(dx * dx)),
                ka,     dx,        col,     static_cast<long double>(x),
                y};
    }
};

using PinchKernel = PinchFactorKernel<true, true>;

}  // namespace effects::detail
