#include "effects/spherical.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "effects/disc_runner.h"
#include "effects/spherical_kernels.h"

namespace effects {

namespace {

using detail::BoxBuffer;
using detail::BulgeKernel;
using detail::ColumnSpan;
using detail::PinchKernel;
using detail::Raster;
using detail::sphereOf;

void checkArguments(const QImage& picture, int strength, const char* operation) {
    if (strength < 1) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the strength must be at least 1 picture pixel, not " +
                                    std::to_string(strength));
    }
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the picture must be in Format_BGR888");
    }
}

int64_t rnd(long double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// Nearest-pixel index of an axis source, kept inside 0..size - 1 (see spherical.h).
int nearestIndex(double source, int size) {
    const double rounded = std::nearbyint(source);
    if (!(rounded >= 0)) {
        return 0;
    }
    return rounded > size - 1 ? size - 1 : static_cast<int>(rounded);
}

// Picture columns of the quadrant passes that lie inside the picture, centre column
// excluded, in increasing order.
template <class RowsOf>
std::vector<ColumnSpan> columnSpans(int64_t x, int64_t radius, const detail::Box& box,
                                    RowsOf rowsOf) {
    std::vector<ColumnSpan> spans;
    const int64_t first = std::max<int64_t>(x - radius + 1, box.left);
    const int64_t last = std::min<int64_t>(x + radius - 1, box.right);
    if (first <= last) {
        spans.reserve(static_cast<size_t>(last - first + 1));
    }
    for (int64_t col = first; col <= last; ++col) {
        if (col == x) {
            continue;
        }
        ColumnSpan span;
        span.col = static_cast<int>(col);
        rowsOf(col, span);
        if (span.pixels() > 0) {
            spans.push_back(span);
        }
    }
    return spans;
}

// The four axis passes of a nearest-pixel operation: row Y (d = X − col) and column X
// (d = Y − row), the centre excluded, destinations outside the picture skipped.
template <class ColumnOf, class RowOf>
void axisPasses(BoxBuffer& out, const Raster& source, int64_t x, int64_t y, int64_t radius,
                ColumnOf columnOf, RowOf rowOf) {
    const detail::Box& box = out.box();
    if (y >= box.top && y <= box.bottom) {
        const int row = static_cast<int>(y);
        const int64_t first = std::max<int64_t>(x - radius + 1, box.left);
        const int64_t last = std::min<int64_t>(x + radius - 1, box.right);
        for (int64_t col = first; col <= last; ++col) {
            if (col != x) {
                detail::storeColour(out.pixel(static_cast<int>(col), row),
                                    detail::colourAt(source.pixel(columnOf(x - col), row)));
            }
        }
    }
    if (x >= box.left && x <= box.right) {
        const int col = static_cast<int>(x);
        const int64_t first = std::max<int64_t>(y - radius + 1, box.top);
        const int64_t last = std::min<int64_t>(y + radius - 1, box.bottom);
        for (int64_t row = first; row <= last; ++row) {
            if (row != y) {
                detail::storeColour(out.pixel(col, static_cast<int>(row)),
                                    detail::colourAt(source.pixel(col, rowOf(y - row))));
            }
        }
    }
}

}  // namespace

void bulge(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    checkArguments(picture, strength, "bulge");
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const int64_t S = strength;
    const auto [a, k] = sphereOf(R, S);
    const long double a2 = a * a;
    detail::ProgressPacer pacer(progress, 4 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    if (box.empty()) {
        pacer.finish();
        return;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);

    // Quadrant passes: the disc without its rim rows and without the axes.
    const auto spans = columnSpans(X, R, box, [&](int64_t col, ColumnSpan& span) {
        const int64_t dx = X - col;
        const long double h = std::sqrt(a2 - static_cast<long double>(dx * dx)) - a + S;
        const long double b2 = (k + h) * (k + h) - k * k;  // = R² − dx² > 0
        const long double b = std::sqrt(b2 > 0 ? b2 : 0);
        detail::setRange(span, 0, rnd(Y - b) + 1, Y - 1, box.top, box.bottom);
        detail::setRange(span, 1, Y + 1, rnd(Y + b) - 1, box.top, box.bottom);
    });
    detail::runColumns(spans, BulgeKernel{&source, a2, k, X, Y}, out, pacer);

    // Axis passes, nearest pixel. A source is rounded from a double, like the positions the
    // sampler takes.
    auto shift = [&](int64_t d) { return k * d / std::sqrt(a2 - static_cast<long double>(d * d)); };
    axisPasses(
        out, source, X, Y, R,
        [&](int64_t d) { return nearestIndex(static_cast<double>(X - shift(d)), source.width); },
        [&](int64_t d) { return nearestIndex(static_cast<double>(Y - shift(d)), source.height); });
    pacer.finish();
    out.commit(picture);
}

void pinch(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    checkArguments(picture, strength, "pinch");
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const int64_t S = strength;
    const auto [a, k] = sphereOf(R, S);
    const long double k2 = k * k;
    detail::ProgressPacer pacer(progress, 2 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    if (box.empty()) {
        pacer.finish();
        return;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);

    // Column passes over the lens where f > 1. The half-height B goes through the column's
    // one-dimensional pinch.
    const auto spans = columnSpans(X, R, box, [&](int64_t col, ColumnSpan& span) {
        const int64_t dx = X - col;
        const long double rhoX = std::sqrt(k2 + static_cast<long double>(dx * dx));
        const long double u = X - a * dx / rhoX;
        const long double v = (col - u) * k / dx;
        const long double w = k + v;
        const long double b2 = w * w - k2;  // = k²·(R² − dx²) / ρx² >= 0
        const int64_t b = rnd(std::sqrt(b2 > 0 ? b2 : 0));
        detail::setRange(span, 0, Y - b + 1, Y - 1, box.top, box.bottom);
        detail::setRange(span, 1, Y + 1, Y + b - 1, box.top, box.bottom);
    });
    std::vector<long double> rhoY(static_cast<size_t>(box.bottom - box.top + 1));
    for (int row = box.top; row <= box.bottom; ++row) {
        const int64_t dy = Y - row;
        rhoY[row - box.top] = std::sqrt(k2 + static_cast<long double>(dy * dy));
    }
    detail::runColumns(spans, PinchKernel{&source, k * a, k2, X, Y, rhoY.data(), box.top}, out,
                       pacer);

    // Axis passes, nearest pixel, the source clamped on the side it moves towards (the
    // other side cannot leave the picture for a destination inside it).
    auto shift = [&](int64_t d) { return a * d / std::sqrt(k2 + static_cast<long double>(d * d)); };
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
    pacer.finish();
    out.commit(picture);
}

}  // namespace effects
