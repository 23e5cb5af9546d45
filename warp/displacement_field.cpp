#include "warp/displacement_field.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "effects/sample_run.h"
#include "formats/photo/row_bands.h"

namespace warp {

DisplacementField::DisplacementField(QSize pictureSize) : size_(pictureSize) {
    if (pictureSize.isEmpty()) {
        size_ = {};
        return;
    }
    // One node more than the last pixel needs, so interpolation never runs off the grid.
    columns_ = (pictureSize.width() - 1) / kSpacing + 2;
    rows_ = (pictureSize.height() - 1) / kSpacing + 2;
    const size_t count = static_cast<size_t>(columns_) * rows_;
    dx_.assign(count, 0.0f);
    dy_.assign(count, 0.0f);
    mask_.assign(count, 0);
}

void DisplacementField::setOffset(int i, int j, QPointF d) {
    dx_[index(i, j)] = static_cast<float>(d.x());
    dy_[index(i, j)] = static_cast<float>(d.y());
}

void DisplacementField::setFrozen(int i, int j, double amount) {
    const auto value = static_cast<uint8_t>(std::lround(std::clamp(amount, 0.0, 1.0) * 255));
    mask_[index(i, j)] = value;
    anyFrozen_ = anyFrozen_ || value != 0;
}

namespace {

// Grid coordinate of a picture coordinate, clamped so that cell `first` and its neighbour
// `first + 1` exist.
inline void cellOf(double v, int nodes, int& first, double& fraction) {
    const double g = std::clamp(v / DisplacementField::kSpacing, 0.0, nodes - 1.0);
    first = std::min(static_cast<int>(g), nodes - 2);
    fraction = g - first;
}

}  // namespace

QPointF DisplacementField::offsetAt(double x, double y) const {
    if (isNull()) {
        return {};
    }
    int i, j;
    double u, v;
    cellOf(x, columns_, i, u);
    cellOf(y, rows_, j, v);
    const size_t a = index(i, j), b = a + 1, c = a + columns_, d = c + 1;
    const auto blend = [&](const std::vector<float>& f) {
        const double upper = f[a] + (f[b] - f[a]) * u;
        const double lower = f[c] + (f[d] - f[c]) * u;
        return upper + (lower - upper) * v;
    };
    return {blend(dx_), blend(dy_)};
}

double DisplacementField::frozenAt(double x, double y) const {
    if (isNull() || !anyFrozen_) {
        return 0;
    }
    int i, j;
    double u, v;
    cellOf(x, columns_, i, u);
    cellOf(y, rows_, j, v);
    const size_t a = index(i, j), b = a + 1, c = a + columns_, d = c + 1;
    const double upper = mask_[a] + (mask_[b] - mask_[a]) * u;
    const double lower = mask_[c] + (mask_[d] - mask_[c]) * u;
    return (upper + (lower - upper) * v) / 255.0;
}

QRect DisplacementField::nodesOver(const QRect& area) const {
    const QRect inside = area.intersected(QRect(QPoint(0, 0), size_));
    if (inside.isEmpty()) {
        return {};
    }
    // A pixel depends on the nodes at or left of it and the next ones.
    return QRect(QPoint(inside.left() / kSpacing, inside.top() / kSpacing),
                 QPoint(std::min(columns_ - 1, inside.right() / kSpacing + 1),
                        std::min(rows_ - 1, inside.bottom() / kSpacing + 1)));
}

QRect DisplacementField::pixelsOf(const QRect& nodes) const {
    if (nodes.isEmpty()) {
        return {};
    }
    // A node takes part in the pixels of the cells on either side of it.
    const QRect pixels(
        QPoint((nodes.left() - 1) * kSpacing + 1, (nodes.top() - 1) * kSpacing + 1),
        QPoint((nodes.right() + 1) * kSpacing - 1, (nodes.bottom() + 1) * kSpacing - 1));
    return pixels.intersected(QRect(QPoint(0, 0), size_));
}

void DisplacementField::markTouched(const QRect& pixels) {
    touched_ = touched_.united(pixels.intersected(QRect(QPoint(0, 0), size_)));
}

void DisplacementField::clear() {
    std::fill(dx_.begin(), dx_.end(), 0.0f);
    std::fill(dy_.begin(), dy_.end(), 0.0f);
    std::fill(mask_.begin(), mask_.end(), 0);
    touched_ = {};
    anyFrozen_ = false;
}

size_t DisplacementField::memoryBytes() const {
    return dx_.capacity() * sizeof(float) + dy_.capacity() * sizeof(float) + mask_.capacity();
}

namespace {

// The offsets along picture row y, blended between its two node rows for the node columns
// from `first` to `last`, to be interpolated across by the pixels.
struct RowOffsets {
    std::vector<double> dx, dy;
    int first = 0;
    void blend(const DisplacementField& field, double y, int firstColumn, int lastColumn) {
        first = firstColumn;
        const auto count = static_cast<size_t>(lastColumn - firstColumn + 1);
        dx.resize(count);
        dy.resize(count);
        int j;
        double v;
        cellOf(y, field.rows(), j, v);
        for (size_t k = 0; k < count; ++k) {
            const int i = firstColumn + static_cast<int>(k);
            const QPointF upper = field.offset(i, j);
            const QPointF lower = field.offset(i, j + 1);
            dx[k] = upper.x() + (lower.x() - upper.x()) * v;
            dy[k] = upper.y() + (lower.y() - upper.y()) * v;
        }
    }
    QPointF at(double x, int columns) const {
        int i;
        double u;
        cellOf(x, columns, i, u);
        const auto k = static_cast<size_t>(i - first);
        return {dx[k] + (dx[k + 1] - dx[k]) * u, dy[k] + (dy[k + 1] - dy[k]) * u};
    }
};

// The node columns the picture columns from x0 to x1 read.
void columnsFor(const DisplacementField& field, double x0, double x1, int& first, int& last) {
    double unused;
    cellOf(x0, field.columns(), first, unused);
    cellOf(x1, field.columns(), last, unused);
    last += 1;
}

inline bool negligible(double dx, double dy) {
    return std::abs(dx) < kNegligibleOffset && std::abs(dy) < kNegligibleOffset;
}

QImage asBgr(const QImage& picture) {
    return picture.format() == QImage::Format_BGR888
               ? picture
               : picture.convertToFormat(QImage::Format_BGR888);
}

}  // namespace

void renderRegion(const QImage& base, const DisplacementField& field, double amount,
                  const QRect& region, QImage& out) {
    if (out.size() != base.size() || out.format() != QImage::Format_BGR888 ||
        field.pictureSize() != base.size()) {
        throw std::invalid_argument("renderRegion: the pictures and the field differ in size");
    }
    const QRect area = region.intersected(out.rect());
    if (area.isEmpty()) {
        return;
    }
    const QImage source = asBgr(base);
    const effects::SampleRun sampler(source);
    uchar* const outBits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    int firstColumn, lastColumn;
    columnsFor(field, area.left(), area.right(), firstColumn, lastColumn);
    formats::forEachBand(area.height(), 32, [&](int first, int last) {
        RowOffsets offsets;
        std::vector<double> sx(static_cast<size_t>(area.width()));
        std::vector<double> sy(sx.size());
        for (int r = first; r < last; ++r) {
            const int y = area.top() + r;
            offsets.blend(field, y, firstColumn, lastColumn);
            for (int c = 0; c < area.width(); ++c) {
                const int x = area.left() + c;
                const QPointF d = offsets.at(x, field.columns()) * amount;
                const bool still = negligible(d.x(), d.y());
                sx[static_cast<size_t>(c)] = still ? x : x + d.x();
                sy[static_cast<size_t>(c)] = still ? y : y + d.y();
            }
            sampler.runKeepingOwn(outBits + y * stride + 3 * area.left(), sx.data(), sy.data(),
                                  area.width(), sampler.row(y) + 3 * area.left(), area.left(), y);
        }
    });
}

QImage renderView(const QImage& base, const DisplacementField& field, double amount,
                  const QRect& shown, double zoomPercent, bool tint) {
    QImage out(shown.size(), QImage::Format_BGR888);
    if (shown.isEmpty() || base.isNull() || !(zoomPercent > 0) ||
        field.pictureSize() != base.size()) {
        out.fill(Qt::black);
        return out;
    }
    const QImage source = asBgr(base);
    const effects::SampleRun sampler(source);
    const double perView = 100.0 / zoomPercent;
    const auto nearest = [](double v, int size) {
        return std::clamp(static_cast<int>(std::floor(v)), 0, size - 1);
    };
    uchar* const outBits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    int firstColumn, lastColumn;
    columnsFor(field, shown.left() * perView, shown.right() * perView, firstColumn, lastColumn);
    formats::forEachBand(shown.height(), 16, [&](int first, int last) {
        RowOffsets offsets;
        std::vector<double> sx(static_cast<size_t>(shown.width()));
        std::vector<double> sy(sx.size());
        std::vector<uint8_t> still(sx.size());
        for (int r = first; r < last; ++r) {
            const double y = (shown.y() + r) * perView;
            offsets.blend(field, y, firstColumn, lastColumn);
            for (int c = 0; c < shown.width(); ++c) {
                const double x = (shown.x() + c) * perView;
                const QPointF d = offsets.at(x, field.columns()) * amount;
                const auto k = static_cast<size_t>(c);
                still[k] = negligible(d.x(), d.y());
                sx[k] = x + d.x();
                sy[k] = y + d.y();
            }
            uchar* to = outBits + r * stride;
            sampler.run(to, sx.data(), sy.data(), shown.width());
            // Where nothing moves the view shows the picture as the window paints it.
            const uchar* from = sampler.row(nearest(y, source.height()));
            for (int c = 0; c < shown.width(); ++c) {
                if (still[static_cast<size_t>(c)]) {
                    const uchar* p = from + 3 * nearest((shown.x() + c) * perView, source.width());
                    to[3 * c] = p[0];
                    to[3 * c + 1] = p[1];
                    to[3 * c + 2] = p[2];
                }
            }
            if (tint && field.hasFrozen()) {
                for (int c = 0; c < shown.width(); ++c) {
                    const double m = 0.45 * field.frozenAt((shown.x() + c) * perView, y);
                    if (m > 0) {
                        uchar* p = to + 3 * c;  // blue, green, red
                        p[0] = static_cast<uchar>(std::lround(p[0] * (1 - m)));
                        p[1] = static_cast<uchar>(std::lround(p[1] * (1 - m)));
                        p[2] = static_cast<uchar>(std::lround(p[2] * (1 - m) + 255 * m));
                    }
                }
            }
        }
    });
    return out;
}

}  // namespace warp
