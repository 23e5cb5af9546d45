#include "effects/stretch.h"

#include <cmath>
#include <type_traits>
#include <vector>

#include "effects/disc_runner.h"
#include "effects/pinch_lens.h"
#include "effects/spherical_kernels.h"
#include "effects/stretch_kernels.h"

namespace effects {

namespace {

using detail::BoxBuffer;
using detail::ColumnSpan;
using detail::Raster;
using detail::RowSpan;
using detail::StretchLine;

// One stretch step along the columns (kVertical) or the rows. The lines are the columns or
// rows across the disc; each visits Rnd(centre ± B) along it, clipped to the picture.
template <bool kVertical>
bool stretch(QImage& picture, int x, int y, int radius, int strength, Progress& progress,
             const char* operation) {
    detail::checkDiscArguments(picture, strength, operation);
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const detail::Sphere sphere = detail::sphereOf(R, strength);
    // The rim pixels Rnd(centre ± B) lie up to R from the centre.
    const detail::Box box = detail::clippedSquare(X, Y, R, picture.width(), picture.height());
    const int64_t lineCentre = kVertical ? X : Y;  // the line through the disc's centre
    const int64_t alongCentre = kVertical ? Y : X;
    const int lineFirst = kVertical ? box.left : box.top;
    const int lineLast = kVertical ? box.right : box.bottom;
    const int alongFirst = kVertical ? box.top : box.left;
    const int alongLast = kVertical ? box.bottom : box.right;

    std::vector<std::conditional_t<kVertical, ColumnSpan, RowSpan>> spans;
    int lo;
    int hi;
    if (!box.empty() &&
        detail::clipRange(lineCentre - R + 1, lineCentre + R - 1, lineFirst, lineLast, lo, hi)) {
        for (int i = lo; i <= hi; ++i) {
            const StretchLine line = StretchLine::of(sphere, strength, lineCentre - i, alongCentre);
            int first;
            int last;
            if (!detail::clipRange(detail::roundHalfEven(alongCentre - line.b),
                                   detail::roundHalfEven(alongCentre + line.b), alongFirst,
                                   alongLast, first, last)) {
                continue;
            }
            // Every pixel needs a source: c² − e² > 0 at both ends of the range, where |e| is
            // largest (e falls steadily along the line). Otherwise the step is refused.
            if (!(line.rootArgument(first) > 0 && line.rootArgument(last) > 0)) {
                return false;
            }
            if constexpr (kVertical) {
                ColumnSpan span;
                span.col = i;
                span.lo[0] = first;
                span.hi[0] = last;
                spans.push_back(span);
            } else {
                spans.push_back(RowSpan{i, first, last});
            }
        }
    }
    detail::ProgressPacer pacer(progress, 2 * R - 1);
    if (spans.empty()) {
        pacer.finish();
        return true;
    }
    detail::runInBox(picture, box, pacer, [&](const Raster& source, BoxBuffer& out) {
        if constexpr (kVertical) {
            detail::runColumns(
                spans, detail::VerticalStretchKernel{&source, sphere, strength, X, Y}, out, pacer);
        } else {
            detail::runRows(spans, detail::HorizontalStretchKernel{&source, sphere, strength, X, Y},
                            out, pacer);
        }
    });
    return true;
}

template <bool kVertical>
void squeeze(QImage& picture, int x, int y, int radius, int strength, Progress& progress,
             const char* operation) {
    detail::checkDiscArguments(picture, strength, operation);
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const detail::Sphere sphere = detail::sphereOf(R, strength);
    const long double a = sphere.a;
    const long double k = sphere.k;
    const long double k2 = k * k;
    detail::ProgressPacer pacer(progress, 2 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    detail::runInBox(picture, box, pacer, [&](const Raster& source, BoxBuffer& out) {
        // Column passes over the spherical pinch's lens.
        detail::runPinchLens<detail::SqueezeKernel<kVertical>>(X, Y, R, sphere, source, out, pacer);

        // The axis along the squeeze: column X (vertical) or row Y (horizontal), through the
        // sampler, which keeps the sources inside the picture.
        auto shift = [&](int64_t d) {
            return a * d / std::sqrt(k2 + static_cast<long double>(d * d));
        };
        auto put = [&](int col, int row, double sx, double sy) {
            detail::storeColour(out.pixel(col, row), detail::sample(sx, sy, source));
        };
        if constexpr (kVertical) {
            detail::forCentreColumn(box, X, Y, R, [&](int row) {
                put(x, row, static_cast<double>(X), static_cast<double>(Y - shift(Y - row)));
            });
        } else {
            detail::forCentreRow(box, X, Y, R, [&](int col) {
                put(col, y, static_cast<double>(X - shift(X - col)), static_cast<double>(Y));
            });
        }
    });
}

}  // namespace

bool stretchVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    return stretch<true>(picture, x, y, radius, strength, progress, "stretchVertical");
}

bool stretchHorizontal(QImage& picture, int x, int y, int radius, int strength,
                       Progress& progress) {
    return stretch<false>(picture, x, y, radius, strength, progress, "stretchHorizontal");
}

void squeezeVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    squeeze<true>(picture, x, y, radius, strength, progress, "squeezeVertical");
}

void squeezeHorizontal(QImage& picture, int x, int y, int radius, int strength,
                       Progress& progress) {
    squeeze<false>(picture, x, y, radius, strength, progress, "squeezeHorizontal");
}

}  // namespace effects
