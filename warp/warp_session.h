// The picture being warped: its base (the picture when the warp began), the one field of offsets
// over it that every brush stroke and face change goes into, and the amount the field is shown
// at. The picture shown is the base resampled once through amount times the field. A session
// follows the picture it last produced; any other change of the picture (undo, another tool,
// opening) starts it again from that picture with an empty field.
#pragma once

#include <QImage>
#include <QRect>
#include <functional>
#include <vector>

#include "warp/displacement_field.h"
#include "warp/warp_brush.h"

namespace warp {

class WarpSession {
public:
    // Starts again from `current` unless it is the picture the session last produced.
    void follow(const QImage& current);
    // The picture now current is the one the session produced (after a step stored it).
    void produced(const QImage& current) { producedKey_ = current.cacheKey(); }

    const QImage& base() const { return base_; }
    DisplacementField& field() { return field_; }
    const DisplacementField& field() const { return field_; }
    double amount() const { return amount_; }
    void setAmount(double amount) { amount_ = amount; }

    // Re-renders `region` of `picture` (the current picture, changed in place) from the base.
    void render(QImage& picture, const QRect& region) const;
    // The base through the field for a view (see renderView).
    QImage view(const QRect& shown, double zoomPercent, bool tint) const;

    // Composes an inverse map over `region` into the field: afterwards output p shows what the
    // current picture showed at sourceOf(p), still as one resample of the base.
    void compose(const QRect& region, const std::function<QPointF(double, double)>& sourceOf);

private:
    QImage base_;
    DisplacementField field_;
    double amount_ = 1;
    qint64 producedKey_ = -1;
};

// The dabs applied to one field over `picture`, then the picture resampled once through it
// (mugwarp-batch's strokes).
QImage warpPicture(const QImage& picture, const std::vector<Dab>& dabs);

}  // namespace warp
