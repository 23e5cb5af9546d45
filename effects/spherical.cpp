#include "effects/spherical.h"

#include <cmath>

#include "effects/disc_runner.h"
#include "effects/pinch_lens.h"
#include "effects/spherical_kernels.h"

namespace effects {

namespace {

using detail::BoxBuffer;
using detail::BulgeKernel;
using detail::ColumnSpan;
using detail::PinchKernel;
using detail::Raster;
using detail::sphereOf;

// Nearest-pixel index of an axis source, kept inside 0..size - 1 (see spherical.h).
int nearestIndex(double source, int size) {
    const double rounded = std::nearbyint(source);
    if (!(rounded >= 0)) {
        return 0;
    }
    return rounded > size - 1 ? size - 1 : static_cast<int>(rounded);
}

// The four axis passes of a nearest-pixel operation: row Y (d = X − col) and column X
// (d = Y − row), the centre excluded, destinations outside the picture skipped.
template <class ColumnOf, class RowOf>
void axisPasses(BoxBuffer& out, const Raster& source, int64_t x, int64_t y, int64_t radius,
                ColumnOf columnOf, RowOf rowOf) {
    const int row = static_cast<int>(y);
    detail::forCentreRow(out.box(), x, y, radius, [&](int col) {
        detail::storeColour(out.pixel(col, row),
                            detail::colourValueAt(source.pixel(columnOf(x - col), row)));
    });
    const int col = static_cast<int>(x);
    detail::forCentreColumn(out.box(), x, y, radius, [&](int row) {
        detail::storeColour(out.pixel(col, row),
                            detail::colourValueAt(source.pixel(col, rowOf(y - row))));
    });
}

}  // namespace

void bulge(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    detail::checkDiscArguments(picture, strength, "bulge");
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const int64_t S = strength;
    const detail::Sphere sphere = sphereOf(R, S);
    const long double a = sphere.a;
    const long double k = sphere.k;
    const long double a2 = a * a;
    detail::ProgressPacer pacer(progress, 4 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    detail::runInBox(picture, box, pacer, [&](const Raster& source, BoxBuffer& out) {
        // Quadrant passes: the disc without its rim rows and without the axes.
        const auto spans =
            detail::quadrantColumnSpans(X, R, box, [&](int64_t col, ColumnSpan& span) {
                const int64_t dx = X - col;
                const long double h = std::sqrt(a2 - static_cast<long double>(dx * dx)) - a + S;
                const long double b2 = (k + h) * (k + h) - k * k;  // = R² − dx² > 0
                const long double b = std::sqrt(b2 > 0 ? b2 : 0);
                detail::setRange(span, 0, detail::roundHalfEven(Y - b) + 1, Y - 1, box.top,
                                 box.bottom);
                detail::setRange(span, 1, Y + 1, detail::roundHalfEven(Y + b) - 1, box.top,
                                 box.bottom);
            });
        detail::runColumns(spans, BulgeKernel{&source, a2, k, X, Y}, out, pacer);

        // Axis passes, nearest pixel. A source is rounded from a double, like the positions
        // the sampler takes.
        auto shift = [&](int64_t d) {
            return k * d / std::sqrt(a2 - static_cast<long double>(d * d));
        };
        axisPasses(
            out, source, X, Y, R,
            [&](int64_t d) {
                return nearestIndex(static_cast<double>(X - shift(d)), source.width);
            },
            [&](int64_t d) {
                return nearestIndex(static_cast<double>(Y - shift(d)), source.height);
            });
    });
}

void pinch(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    detail::checkDiscArguments(picture, strength, "pinch");
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const detail::Sphere sphere = sphereOf(R, strength);
    const long double a = sphere.a;
    const long double k = sphere.k;
    const long double k2 = k * k;
    detail::ProgressPacer pacer(progress, 2 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    detail::runInBox(picture, box, pacer, [&](const Raster& source, BoxBuffer& out) {
        // Column passes over the lens where f > 1.
        detail::runPinchLens<PinchKernel>(X, Y, R, sphere, source, out, pacer);

        // Axis passes, nearest pixel, the source clamped on the side it moves towards (the
        // other side cannot leave the picture for a destination inside it).
        auto shift = [&](int64_t d) {
            return a * d / std::sqrt(k2 + static_cast<long double>(d * d));
        };
        auto clamped = [](int64_t d, double source, int size) {
            if (d > 0 && source < 0) {
                return 0.0;
            }
            if (d < 0 && source > size - 1) {
                return static_cast<double>(size - 1);
            }
            return source;
        };
        axisPasses(
            out, source, X, Y, R,
            [&](int64_t d) {
                return nearestIndex(clamped(d, static_cast<double>(X - shift(d)), source.width),
                                    source.width);
            },
            [&](int64_t d) {
                return nearestIndex(clamped(d, static_cast<double>(Y - shift(d)), source.height),
                                    source.height);
            });
    });
}

}  // namespace effects
