#include "warp/warp_brush.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "formats/photo/row_bands.h"

namespace warp {

namespace {

constexpr std::array<BrushInfo, kBrushCount> kBrushes{{
    {Brush::Push, "Push", "push"},
    {Brush::Bloat, "Bloat", "bloat"},
    {Brush::Pucker, "Pucker", "pucker"},
    {Brush::TwirlClockwise, "Twirl clockwise", "twirl-cw"},
    {Brush::TwirlAnticlockwise, "Twirl anticlockwise", "twirl-ccw"},
    {Brush::Reconstruct, "Reconstruct", "reconstruct"},
    {Brush::Smooth, "Smooth", "smooth"},
    {Brush::Freeze, "Freeze", "freeze"},
    {Brush::Thaw, "Thaw", "thaw"},
}};

constexpr std::array<BrushParameterInfo, 4> kParameters{{
    {BrushParameter::Size, "Size", 2, 1500, 100, ""},
    {BrushParameter::Strength, "Strength", 1, 100, 50, ""},
    {BrushParameter::Hardness, "Hardness", 0, 100, 50, ""},
    {BrushParameter::Amount, "Amount", 0, 200, 100, " %"},
}};

// At full strength and weight, one dab of these brushes swells or turns this much; held, they
// dab about 25 times a second.
constexpr double kBloatPerDab = 0.03;  // of the distance from the centre
constexpr double kTwirlPerDab = 0.05;  // radians
constexpr int kSmoothReach = 2;        // nodes either side in the mean

// The field's old values over a block of nodes, read while the block is being rewritten.
struct Saved {
    QRect nodes;
    std::vector<QPointF> offsets;

    Saved(const DisplacementField& field, const QRect& block) : nodes(block) {
        offsets.reserve(static_cast<size_t>(block.width()) * block.height());
        for (int j = block.top(); j <= block.bottom(); ++j) {
            for (int i = block.left(); i <= block.right(); ++i) {
                offsets.push_back(field.offset(i, j));
            }
        }
    }
    QPointF node(const DisplacementField& field, int i, int j) const {
        if (nodes.contains(i, j)) {
            return offsets[static_cast<size_t>(j - nodes.top()) * nodes.width() +
                           (i - nodes.left())];
        }
        return field.offset(i, j);
    }
    // The old offset at a picture point, bilinear between the old nodes.
    QPointF at(const DisplacementField& field, double x, double y) const {
        const double gx = std::clamp(x / DisplacementField::kSpacing, 0.0, field.columns() - 1.0);
        const double gy = std::clamp(y / DisplacementField::kSpacing, 0.0, field.rows() - 1.0);
        const int i = std::min(static_cast<int>(gx), field.columns() - 2);
        const int j = std::min(static_cast<int>(gy), field.rows() - 2);
        const double u = gx - i, v = gy - j;
        const QPointF upper = node(field, i, j) + (node(field, i + 1, j) - node(field, i, j)) * u;
        const QPointF lower =
            node(field, i, j + 1) + (node(field, i + 1, j + 1) - node(field, i, j + 1)) * u;
        return upper + (lower - upper) * v;
    }
};

// Where the content at node position p moves under the dab, as the vector v the picture moves
// by there (the new field reads the old one at p - v).
QPointF moveOf(const Dab& dab, QPointF p, double weight) {
    const double s = dab.strength / 100.0 * weight;
    const QPointF fromCentre = p - dab.at;
    switch (dab.brush) {
        case Brush::Push:
            return (dab.at - dab.from) * s;
        case Brush::Bloat:
            return fromCentre * (kBloatPerDab * s);
        case Brush::Pucker:
            return -fromCentre * (kBloatPerDab * s);
        case Brush::TwirlClockwise:
        case Brush::TwirlAnticlockwise: {
            // y points down, so a positive angle turns clockwise on screen.
            const double angle = (dab.brush == Brush::TwirlClockwise ? 1 : -1) * kTwirlPerDab * s;
            const double c = std::cos(-angle), n = std::sin(-angle);
            const QPointF back(c * fromCentre.x() - n * fromCentre.y(),
                               n * fromCentre.x() + c * fromCentre.y());
            return fromCentre - back;  // p - (centre + R(-angle)(p - centre))
        }
        default:
            return {};
    }
}

}  // namespace

const std::array<BrushInfo, kBrushCount>& brushTable() {
    return kBrushes;
}

const BrushInfo* findBrush(std::string_view word) {
    const auto found = std::find_if(kBrushes.begin(), kBrushes.end(),
                                    [&](const BrushInfo& info) { return info.word == word; });
    return found == kBrushes.end() ? nullptr : &*found;
}

const std::array<BrushParameterInfo, 4>& brushParameterTable() {
    return kParameters;
}

const BrushParameterInfo& brushParameter(BrushParameter id) {
    return kParameters[static_cast<size_t>(id)];
}

double brushWeight(double distance, double radius, double hardness) {
    if (!(distance < radius) || !(radius > 0)) {
        return 0;
    }
    const double core = std::clamp(hardness, 0.0, 100.0) / 100.0 * radius;
    if (distance <= core) {
        return 1;
    }
    const double t = (distance - core) / (radius - core);
    const double fall = 1 - t * t;
    return fall * fall;
}

QRect applyDab(DisplacementField& field, const Dab& dab) {
    if (field.isNull() || !(dab.radius > 0) || !std::isfinite(dab.at.x()) ||
        !std::isfinite(dab.at.y()) || !std::isfinite(dab.from.x()) ||
        !std::isfinite(dab.from.y())) {
        return {};
    }
    const double r = dab.radius;
    const QRectF disc(dab.at.x() - r, dab.at.y() - r, 2 * r, 2 * r);
    const QRect nodes = field.nodesOver(disc.toAlignedRect());
    if (nodes.isEmpty() || dab.strength <= 0) {
        return {};
    }
    constexpr double spacing = DisplacementField::kSpacing;
    const bool mask = dab.brush == Brush::Freeze || dab.brush == Brush::Thaw;
    const bool reads = !mask && dab.brush != Brush::Reconstruct;
    // The old values the new ones are read from: the disc, grown by the farthest a point can
    // be read from (a push's length, or the smoothing's reach).
    const double reach = dab.brush == Brush::Push
                             ? std::hypot(dab.at.x() - dab.from.x(), dab.at.y() - dab.from.y())
                             : (dab.brush == Brush::Smooth ? kSmoothReach * spacing : r);
    const int grow = static_cast<int>(std::ceil(reach / spacing)) + 2;
    const QRect block = nodes.adjusted(-grow, -grow, grow, grow)
                            .intersected(QRect(0, 0, field.columns(), field.rows()));
    const Saved old = reads ? Saved(field, block) : Saved(field, QRect());
    const double s = dab.strength / 100.0;
    std::atomic<bool> changed = false;
    const auto rowsOf = [&](int first, int last) {
        bool any = false;
        for (int j = nodes.top() + first; j < nodes.top() + last; ++j) {
            for (int i = nodes.left(); i <= nodes.right(); ++i) {
                const QPointF p(i * spacing, j * spacing);
                const double dx = p.x() - dab.at.x(), dy = p.y() - dab.at.y();
                if (dx * dx + dy * dy >= r * r) {
                    continue;
                }
                const double w = brushWeight(std::sqrt(dx * dx + dy * dy), r, dab.hardness);
                if (w == 0) {
                    continue;
                }
                any = true;
                if (dab.brush == Brush::Freeze) {
                    const double m = field.frozen(i, j);
                    field.setFrozen(i, j, m + (1 - m) * s * w);
                    continue;
                }
                if (dab.brush == Brush::Thaw) {
                    field.setFrozen(i, j, field.frozen(i, j) * (1 - s * w));
                    continue;
                }
                const QPointF before = field.offset(i, j);
                QPointF after;
                if (dab.brush == Brush::Reconstruct) {
                    after = before * (1 - s * w);
                } else if (dab.brush == Brush::Smooth) {
                    QPointF sum;
                    int count = 0;
                    for (int b = j - kSmoothReach; b <= j + kSmoothReach; ++b) {
                        for (int a = i - kSmoothReach; a <= i + kSmoothReach; ++a) {
                            sum += old.node(field, std::clamp(a, 0, field.columns() - 1),
                                            std::clamp(b, 0, field.rows() - 1));
                            ++count;
                        }
                    }
                    after = before + (sum / count - before) * (s * w);
                } else {
                    // The picture moves by v here: the new map reads the old one at p - v.
                    const QPointF v = moveOf(dab, p, w);
                    after = old.at(field, p.x() - v.x(), p.y() - v.y()) - v;
                }
                // Frozen places keep their offsets as far as they are frozen.
                const double free = 1 - field.frozen(i, j);
                field.setOffset(i, j, before + (after - before) * free);
            }
        }
        if (any) {
            changed = true;
        }
    };
    // The offsets' rows are independent (each reads the saved old values and writes its own
    // nodes), so they share the processors; the mask's few writes stay on one.
    if (mask) {
        rowsOf(0, nodes.height());
    } else {
        formats::forEachBand(nodes.height(), 16, rowsOf);
    }
    if (!changed) {
        return {};
    }
    const QRect pixels = field.pixelsOf(nodes);
    field.markTouched(pixels);
    return pixels;
}

}  // namespace warp
