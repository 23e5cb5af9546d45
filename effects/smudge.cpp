#include "effects/smudge.h"

#include <cmath>
#include <stdexcept>

#include "effects/disc_runner.h"
#include "effects/smudge_kernel.h"

namespace effects {

namespace {

using detail::Box;
using detail::BoxBuffer;
using detail::ColumnSpan;
using detail::ProgressPacer;
using detail::Raster;
using detail::roundHalfEven;

bool applies(int directionCase, int64_t px, int64_t py, int64_t ex, int64_t ey) {
    switch (directionCase) {
        case 1:
            return ex < px && ey < py;
        case 2:
            return ex > px && ey > py;
        case 3:
            return ex > px && ey < py;
        case 4:
            return ex < px && ey > py;
        case 5:
            return ex < px && ey == py;
        case 6:
            return ex > px && ey == py;
        case 7:
            return ex == px && ey > py;
        default:
            return ex == px && ey < py;
    }
}

// One applying case: L, the shortened release point, C and u.
SmudgeStroke strokeOf(int directionCase, int64_t px, int64_t py, int64_t ex, int64_t ey, double a) {
    const double halfA = a / 2;
    auto lengthOf = [&](double distance) { return halfA >= distance ? distance : halfA; };
    SmudgeStroke s;
    s.directionCase = directionCase;
    if (directionCase <= 4) {
        const int64_t dx = px - ex;
        const int64_t dy = py - ey;
        const double k = static_cast<double>(dy) / static_cast<double>(dx);
        // Exact in long double up to 2^64, beyond any int64 sum of squares.
        const long double squares = static_cast<long double>(dx) * static_cast<long double>(dx) +
                                    static_cast<long double>(dy) * static_cast<long double>(dy);
        const double dist = std::sqrt(static_cast<double>(squares));
        const double n = std::sqrt(k * k + 1);
        const double L = lengthOf(dist);
        const int64_t along = roundHalfEven(L / n);
        const int64_t across = roundHalfEven(L * std::fabs(k) / n);
        const bool right = directionCase == 2 || directionCase == 3;
        const bool down = directionCase == 2 || directionCase == 4;
        s.length = L;
        s.releaseX = right ? px + along : px - along;
        s.releaseY = down ? py + across : py - across;
        s.centreX = static_cast<double>(px + s.releaseX) / 2;
        s.centreY = static_cast<double>(py + s.releaseY) / 2;
        // u = (1, k)/n, or −(1, k)/n for the drags to the left.
        s.ux = right ? 1 / n : -(1 / n);
        s.uy = right ? k / n : -(k / n);
        s.slope = k;
    } else if (directionCase <= 6) {
        const bool right = directionCase == 6;
        const double L = lengthOf(static_cast<double>(right ? ex - px : px - ex));
        s.length = L;
        s.releaseX = right ? px + roundHalfEven(L) : px - roundHalfEven(L);
        s.releaseY = py;
        // Going right, the centre is taken back from the rounded release column.
        s.centreX =
            right ? static_cast<double>(s.releaseX) - L / 2 : static_cast<double>(px) - L / 2;
        s.centreY = static_cast<double>(py);
        s.ux = right ? 1 : -1;
    } else {
        const bool down = directionCase == 7;
        const double L = lengthOf(static_cast<double>(down ? ey - py : py - ey));
        s.length = L;
        s.releaseX = px;
        s.releaseY = down ? py + roundHalfEven(L) : py - roundHalfEven(L);
        s.centreX = static_cast<double>(px);
        s.centreY = down ? static_cast<double>(py) + L / 2 : static_cast<double>(py) - L / 2;
        s.uy = down ? 1 : -1;
    }
    s.discRadius = s.length / 2 + a;
    s.firstColumn = roundHalfEven(s.centreX - s.length / 2 - a) + 1;
    s.lastColumn = roundHalfEven(s.centreX + s.length / 2 + a) - 1;
    return s;
}

// The case's pixels inside a width x height picture, column by column: rows Rnd(Cy − h) + 1
// .. Rnd(Cy + h) − 1 with h = √(R² − (Cx − G)²). L = 0 draws nothing.
std::vector<ColumnSpan> spansOf(const SmudgeStroke& s, int width, int height) {
    std::vector<ColumnSpan> spans;
    int first;
    int last;
    if (!(s.length > 0) || width <= 0 || height <= 0 ||
        !detail::clipRange(s.firstColumn, s.lastColumn, 0, width - 1, first, last)) {
        return spans;
    }
    const double r2 = s.discRadius * s.discRadius;
    for (int g = first; g <= last; ++g) {
        const double offset = s.centreX - g;
        const double h = std::sqrt(r2 - offset * offset);
        if (!(h >= 0)) {
            continue;
        }
        ColumnSpan span;
        span.col = g;
        detail::setRange(span, 0, roundHalfEven(s.centreY - h) + 1,
                         roundHalfEven(s.centreY + h) - 1, 0, height - 1);
        if (span.pixels() > 0) {
            spans.push_back(span);
        }
    }
    return spans;
}

void extend(Box& box, const std::vector<ColumnSpan>& spans) {
    for (const ColumnSpan& span : spans) {
        if (box.empty()) {
            box = {span.col, span.lo[0], span.col, span.hi[0]};
        } else {
            box.left = std::min(box.left, span.col);
            box.right = std::max(box.right, span.col);
            box.top = std::min(box.top, span.lo[0]);
            box.bottom = std::max(box.bottom, span.hi[0]);
        }
    }
}

// Writes kernel.column(col).sourceOf(row)'s sample for every pixel of `spans` into `out`,
// in blocks of columns shared between threads, each block walked row by row so reads and
// writes stay close together. A pixel without a finite source keeps what `out` holds.
template <class Kernel>
void runCase(const std::vector<ColumnSpan>& spans, const Kernel& kernel, const Raster& source,
             BoxBuffer& out, ProgressPacer& pacer) {
    constexpr size_t kBlock = 16;
    const int left = out.box().left;
    auto processBlock = [&](size_t first, size_t count) {
        typename Kernel::Column columns[kBlock];
        const detail::RowRange rows = detail::takeColumns(spans, first, count, kernel, columns);
        // The row's source positions first, then its samples: the positions' long chains
        // of divisions and roots are independent of each other and overlap.
        for (int row = rows.first; row <= rows.last; ++row) {
            double sx[kBlock];
            double sy[kBlock];
            bool put[kBlock];
            for (size_t j = 0; j < count; ++j) {
                put[j] = columns[j].sourceOf(row, sx[j], sy[j]);
            }
            uchar* dst = out.row(row);
            for (size_t j = 0; j < count; ++j) {
                const ColumnSpan& span = spans[first + j];
                if (put[j] && row >= span.lo[0] && row <= span.hi[0]) {
                    detail::storeColour(dst + 3 * (span.col - left),
                                        detail::sample(sx[j], sy[j], source));
                }
            }
        }
    };
    detail::shareSpanBlocks<kBlock>(spans, processBlock, pacer);
}

void runStroke(const SmudgeStroke& stroke, int radius, const std::vector<ColumnSpan>& spans,
               const Raster& source, BoxBuffer& out, ProgressPacer& pacer) {
    const detail::SmudgeShape shape = detail::SmudgeShape::of(stroke, radius);
    const Box& box = out.box();
    switch (stroke.directionCase) {
        case 1:
            return runCase(spans, detail::DiagonalSmudgeKernel<1>::of(shape), source, out, pacer);
        case 2:
            return runCase(spans, detail::DiagonalSmudgeKernel<2>::of(shape), source, out, pacer);
        case 3:
            return runCase(spans, detail::DiagonalSmudgeKernel<3>::of(shape), source, out, pacer);
        case 4:
            return runCase(spans, detail::DiagonalSmudgeKernel<4>::of(shape), source, out, pacer);
        case 5:
            return runCase(spans, detail::HorizontalSmudgeKernel<5>::of(shape, box.top, box.bottom),
                           source, out, pacer);
        case 6:
            return runCase(spans, detail::HorizontalSmudgeKernel<6>::of(shape, box.top, box.bottom),
                           source, out, pacer);
        case 7:
            return runCase(spans, detail::VerticalSmudgeKernel<7>{shape}, source, out, pacer);
        default:
            return runCase(spans, detail::VerticalSmudgeKernel<8>{shape}, source, out, pacer);
    }
}

}  // namespace

std::vector<SmudgeStroke> planSmudge(int pressX, int pressY, int releaseX, int releaseY,
                                     int radius) {
    std::vector<SmudgeStroke> plan;
    if (radius < 0) {
        return plan;
    }
    const int64_t px = pressX;
    const int64_t py = pressY;
    int64_t ex = releaseX;
    int64_t ey = releaseY;
    for (int directionCase = 1; directionCase <= 8; ++directionCase) {
        if (applies(directionCase, px, py, ex, ey)) {
            plan.push_back(strokeOf(directionCase, px, py, ex, ey, radius));
            ex = plan.back().releaseX;
            ey = plan.back().releaseY;
        }
    }
    return plan;
}

void smudge(QImage& picture, int pressX, int pressY, int releaseX, int releaseY, int radius,
            Progress& progress) {
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("smudge: the picture must be in Format_BGR888");
    }
    const std::vector<SmudgeStroke> plan = planSmudge(pressX, pressY, releaseX, releaseY, radius);
    // All cases write into one buffer over their pixels and read the picture, which stays
    // as it was until the buffer is copied back at the end.
    std::vector<std::vector<ColumnSpan>> spans;
    Box box;
    for (const SmudgeStroke& stroke : plan) {
        spans.push_back(spansOf(stroke, picture.width(), picture.height()));
        extend(box, spans.back());
    }
    const Raster source(picture);
    BoxBuffer out(picture, box);
    for (size_t i = 0; i < plan.size(); ++i) {
        ProgressPacer pacer(progress, plan[i].columns());
        if (!spans[i].empty()) {
            runStroke(plan[i], radius, spans[i], source, out, pacer);
        }
        pacer.finish();
    }
    if (!box.empty()) {
        out.commit(picture);
    }
}

}  // namespace effects
