// A warp held as offsets over a picture (the base): output pixel p shows the base at p + d(p),
// so however many brush dabs and face changes went into the field, the picture shown is one
// resample of the base through the program's bilinear sampler. The offsets sit on nodes every
// kSpacing pixels and are interpolated bilinearly between them (a quarter of the pixels' count,
// so a 24 MP photograph's field takes less memory than one copy of it); a freeze mask on the
// same nodes says how much of each place the brushes must leave alone.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

namespace warp {

// Offsets shorter than this count as none, so a field brought back to zero shows the base bit
// for bit.
constexpr double kNegligibleOffset = 1.0 / 256;

class DisplacementField {
public:
    static constexpr int kSpacing = 2;

    DisplacementField() = default;
    explicit DisplacementField(QSize pictureSize);

    QSize pictureSize() const { return size_; }
    bool isNull() const { return columns_ == 0; }
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    // The nodes' picture position: node (i, j) lies at (i, j) * kSpacing.
    size_t index(int i, int j) const { return static_cast<size_t>(j) * columns_ + i; }
    QPointF offset(int i, int j) const { return {dx_[index(i, j)], dy_[index(i, j)]}; }
    void setOffset(int i, int j, QPointF d);
    // The freeze mask, 0 (free) to 1 (frozen).
    double frozen(int i, int j) const { return mask_[index(i, j)] / 255.0; }
    void setFrozen(int i, int j, double amount);

    // The offset at a picture point, interpolated between the nodes (clamped to the grid).
    QPointF offsetAt(double x, double y) const;
    double frozenAt(double x, double y) const;

    // The nodes within the picture rectangle `area` (grown to whole nodes), as first and last
    // node columns and rows; empty when it misses the picture.
    QRect nodesOver(const QRect& area) const;
    // The picture pixels whose offsets the nodes `nodes` take part in.
    QRect pixelsOf(const QRect& nodes) const;

    // The part of the picture where some offset or freeze was ever set, since clear().
    QRect touched() const { return touched_; }
    void markTouched(const QRect& pixels);
    bool hasFrozen() const { return anyFrozen_; }

    void clear();
    size_t memoryBytes() const;

private:
    QSize size_;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<float> dx_, dy_;
    std::vector<uint8_t> mask_;
    QRect touched_;
    bool anyFrozen_ = false;
};

// The base resampled through `amount` times the field over `region` (picture pixels), written
// into `out` (a Format_BGR888 picture of the base's size); pixels whose offset is negligible are
// the base's own.
void renderRegion(const QImage& base, const DisplacementField& field, double amount,
                  const QRect& region, QImage& out);
// The base through the field for a view at `zoomPercent`: view pixel (c, r) of `shown` shows
// picture point p = ((shown.x() + c), (shown.y() + r)) * 100 / zoomPercent, sampled at
// p + amount * d(p), or the base's pixel under p where the offset is negligible. With `tint`,
// frozen places are tinted red as far as they are frozen.
QImage renderView(const QImage& base, const DisplacementField& field, double amount,
                  const QRect& shown, double zoomPercent, bool tint);

}  // namespace warp
