#include "effects/stretch.h"

#include <utility>
#include <vector>

#include "effects/disc_runner.h"
#include "effects/spherical_kernels.h"
#include "effects/stretch_kernels.h"

namespace effects {

namespace {

using detail::BoxBuffer;
using detail::ColumnSpan;
using detail::Raster;
using detail::RowSpan;
using detail::StretchLine;

// True when every pixel of the lines has a source: c² − e² > 0 at both ends of each line,
// where |e| is largest (e falls steadily along the line). ends(i) gives line i's range.
template <class Ends>
bool allSourcesDefined(const std::vector<StretchLine>& lines, const Ends& ends) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto [lo, hi] = ends(i);
        if (!(lines[i].rootArgument(lo) > 0 && lines[i].rootArgument(hi) > 0)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool stretchVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    detail::checkDiscArguments(picture, strength, "stretchVertical");
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const detail::Sphere sphere = detail::sphereOf(R, strength);
    // The rim rows Rnd(Y ± B) lie up to R rows from the centre.
    const detail::Box box = detail::clippedSquare(X, Y, R, picture.width(), picture.height());
    std::vector<ColumnSpan> spans;
    std::vector<StretchLine> lines;
    int lo;
    int hi;
    if (!box.empty() && detail::clipRange(X - R + 1, X + R - 1, box.left, box.right, lo, hi)) {
        for (int col = lo; col <= hi; ++col) {
            const StretchLine line = StretchLine::of(sphere, strength, X - col, Y);
            ColumnSpan span;
            span.col = col;
            if (detail::clipRange(detail::roundHalfEven(Y - line.b),
                                  detail::roundHalfEven(Y + line.b), box.top, box.bottom,
                                  span.lo[0], span.hi[0])) {
                spans.push_back(span);
                lines.push_back(line);
            }
        }
    }
    if (!allSourcesDefined(lines, [&](size_t i) {
            return std::pair{spans[i].lo[0], spans[i].hi[0]};
        })) {
        return false;
    }
    detail::ProgressPacer pacer(progress, 2 * R - 1);
    if (spans.empty()) {
        pacer.finish();
        return true;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);
    detail::runColumns(spans, detail::VerticalStretchKernel{&source, sphere, strength, X, Y}, out,
                       pacer);
    pacer.finish();
    out.commit(picture);
    return true;
}

bool stretchHorizontal(QImage& picture, int x, int y, int radius, int strength,
                       Progress& progress) {
    detail::checkDiscArguments(picture, strength, "stretchHorizontal");
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const detail::Sphere sphere = detail::sphereOf(R, strength);
    const detail::Box box = detail::clippedSquare(X, Y, R, picture.width(), picture.height());
    std::vector<RowSpan> spans;
    std::vector<StretchLine> lines;
    int lo;
    int hi;
    if (!box.empty() && detail::clipRange(Y - R + 1, Y + R - 1, box.top, box.bottom, lo, hi)) {
        for (int row = lo; row <= hi; ++row) {
            const StretchLine line = StretchLine::of(sphere, strength, Y - row, X);
            RowSpan span;
            span.row = row;
            if (detail::clipRange(detail::roundHalfEven(X - line.b),
                                  detail::roundHalfEven(X + line.b), box.left, box.right, span.lo,
                                  span.hi)) {
                spans.push_back(span);
                lines.push_back(line);
            }
        }
    }
    if (!allSourcesDefined(lines, [&](size_t i) { return std::pair{spans[i].lo, spans[i].hi}; })) {
        return false;
    }
    detail::ProgressPacer pacer(progress, 2 * R - 1);
    if (spans.empty()) {
        pacer.finish();
        return true;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);
    detail::runRows(spans, detail::HorizontalStretchKernel{&source, sphere, strength, X, Y}, out,
                    pacer);
    pacer.finish();
    out.commit(picture);
    return true;
}

namespace {

// The squeezes' column passes over the pinch's lens, centre column excluded; B goes through
// the column's one-dimensional pinch, as the spherical pinch's.
std::vector<ColumnSpan> lensSpans(int64_t X, int64_t Y, int64_t R, const detail::Sphere& sphere,
                                  const detail::Box& box) {
    const auto [a, k] = sphere;
    const long double k2 = k * k;
    std::vector<ColumnSpan> spans;
    int first;
    int last;
    if (!detail::clipRange(X - R + 1, X + R - 1, box.left, box.right, first, last)) {
        return spans;
    }
    for (int64_t col = first; col <= last; ++col) {
        if (col == X) {
            continue;
        }
        const int64_t dx = X - col;
        const long double rhoX = std::sqrt(k2 + static_cast<long double>(dx * dx));
        const long double u = X - a * dx / rhoX;
        const long double v = (col - u) * k / dx;
        const long double w = k + v;
        const long double b2 = w * w - k2;  // = k²·(R² − dx²) / ρx² >= 0
        const int64_t b = detail::roundHalfEven(std::sqrt(b2 > 0 ? b2 : 0));
        ColumnSpan span;
        span.col = static_cast<int>(col);
        detail::setRange(span, 0, Y - b + 1, Y - 1, box.top, box.bottom);
        detail::setRange(span, 1, Y + 1, Y + b - 1, box.top, box.bottom);
        if (span.pixels() > 0) {
            spans.push_back(span);
        }
    }
    return spans;
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
    const auto [a, k] = sphere;
    const long double k2 = k * k;
    detail::ProgressPacer pacer(progress, 2 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    if (box.empty()) {
        pacer.finish();
        return;
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);

    std::vector<long double> rhoY(static_cast<size_t>(box.bottom - box.top + 1));
    for (int row = box.top; row <= box.bottom; ++row) {
        const int64_t dy = Y - row;
        rhoY[row - box.top] = std::sqrt(k2 + static_cast<long double>(dy * dy));
    }
    detail::runColumns(
        lensSpans(X, Y, R, sphere, box),
        detail::SqueezeKernel<kVertical>{&source, k * a, k2, X, Y, rhoY.data(), box.top}, out,
        pacer);

    // The axis along the squeeze: column X (vertical) or row Y (horizontal), through the
    // sampler, which keeps the sources inside the picture.
    auto shift = [&](int64_t d) { return a * d / std::sqrt(k2 + static_cast<long double>(d * d)); };
    int lo;
    int hi;
    if constexpr (kVertical) {
        if (X >= box.left && X <= box.right &&
            detail::clipRange(Y - R + 1, Y + R - 1, box.top, box.bottom, lo, hi)) {
            for (int row = lo; row <= hi; ++row) {
                if (row != Y) {
                    double sx = static_cast<double>(X);
                    double sy = static_cast<double>(Y - shift(Y - row));
                    detail::storeColour(out.pixel(x, row), detail::sample(sx, sy, source));
                }
            }
        }
    } else {
        if (Y >= box.top && Y <= box.bottom &&
            detail::clipRange(X - R + 1, X + R - 1, box.left, box.right, lo, hi)) {
            for (int col = lo; col <= hi; ++col) {
                if (col != X) {
                    double sx = static_cast<double>(X - shift(X - col));
                    double sy = static_cast<double>(Y);
                    detail::storeColour(out.pixel(col, y), detail::sample(sx, sy, source));
                }
            }
        }
    }
    pacer.finish();
    out.commit(picture);
}

}  // namespace

void squeezeVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    squeeze<true>(picture, x, y, radius, strength, progress, "squeezeVertical");
}

void squeezeHorizontal(QImage& picture, int x, int y, int radius, int strength,
                       Progress& progress) {
    squeeze<false>(picture, x, y, radius, strength, progress, "squeezeHorizontal");
}

}  // namespace effects
