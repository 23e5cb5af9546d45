// Internal to effects/: the lens of the spherical pinch, which the squeezes share: the part
// of the disc where the pinch's factor f = k·a / (ρx·ρy) exceeds 1.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/disc_runner.h"
#include "effects/spherical_kernels.h"

namespace effects::detail {

// The lens's column passes inside the box, centre column and row excluded. A column's
// half-height B goes through its one-dimensional pinch.
std::vector<ColumnSpan> pinchLensSpans(int64_t x, int64_t y, int64_t radius, const Sphere& sphere,
                                       const Box& box);

// ρy = √(k² + dy²) of the box's rows, indexed by row − box.top, for PinchFactorKernel.
std::vector<long double> rhoYOfRows(const Sphere& sphere, int64_t y, const Box& box);

// The column passes over the lens of the disc of radius `radius` around (x, y), inside the
// buffer's box, with Kernel, a PinchFactorKernel.
template <class Kernel>
void runPinchLens(int64_t x, int64_t y, int64_t radius, const Sphere& sphere, const Raster& source,
                  BoxBuffer& out, ProgressPacer& pacer) {
    const Box& box = out.box();
    const std::vector<long double> rhoY = rhoYOfRows(sphere, y, box);
    const auto [a, k] = sphere;
    runColumns(pinchLensSpans(x, y, radius, sphere, box),
               Kernel{&source, k * a, k * k, x, y, rhoY.data(), box.top}, out, pacer);
}

}  // namespace effects::detail
