#include "warp/warp_session.h"

#include <vector>

namespace warp {

void WarpSession::follow(const QImage& current) {
    if (!current.isNull() && current.cacheKey() == producedKey_ && !base_.isNull() &&
        field_.pictureSize() == current.size()) {
        return;
    }
    base_ = current;
    if (field_.pictureSize() == current.size()) {
        field_.clear();
    } else {
        field_ = DisplacementField(current.size());
    }
    amount_ = 1;
    producedKey_ = current.cacheKey();
}

void WarpSession::render(QImage& picture, const QRect& region) const {
    renderRegion(base_, field_, amount_, region, picture);
}

QImage WarpSession::view(const QRect& shown, double zoomPercent, bool tint) const {
    return renderView(base_, field_, amount_, shown, zoomPercent, tint);
}

void WarpSession::compose(const QRect& region,
                          const std::function<QPointF(double, double)>& sourceOf) {
    const QRect nodes = field_.nodesOver(region);
    if (nodes.isEmpty() || !(amount_ > 0)) {
        return;
    }
    // The shown map is amount * d; the composed one is kept so that it shows at this amount.
    constexpr double spacing = DisplacementField::kSpacing;
    std::vector<QPointF> composed;
    composed.reserve(static_cast<size_t>(nodes.width()) * nodes.height());
    for (int j = nodes.top(); j <= nodes.bottom(); ++j) {
        for (int i = nodes.left(); i <= nodes.right(); ++i) {
            const QPointF p(i * spacing, j * spacing);
            const QPointF s = sourceOf(p.x(), p.y());
            // Output p shows the current picture at s, which shows the base at s + a d(s).
            composed.push_back((s - p + field_.offsetAt(s.x(), s.y()) * amount_) / amount_);
        }
    }
    size_t k = 0;
    for (int j = nodes.top(); j <= nodes.bottom(); ++j) {
        for (int i = nodes.left(); i <= nodes.right(); ++i) {
            field_.setOffset(i, j, composed[k++]);
        }
    }
    field_.markTouched(field_.pixelsOf(nodes));
}

QImage warpPicture(const QImage& picture, const std::vector<Dab>& dabs) {
    WarpSession session;
    session.follow(picture);
    for (const Dab& dab : dabs) {
        applyDab(session.field(), dab);
    }
    QImage out = picture;
    session.render(out, session.field().touched());
    return out;
}

}  // namespace warp
