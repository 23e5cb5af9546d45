#include "formats/metafile/metafile_canvas.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "formats/format_error.h"
#include "formats/metafile/metafile_geometry.h"
#include "formats/metafile/metafile_raster_ops.h"

namespace formats::metafile {
namespace {

// Deeper nesting than this is no real picture; further saves are ignored, as a device would
// refuse them.
constexpr size_t kMaxSavedStates = 4096;

Qt::BrushStyle hatchStyle(uint32_t hatch) {
    switch (hatch) {
        case 0:
            return Qt::HorPattern;
        case 1:
            return Qt::VerPattern;
        case 2:
            return Qt::FDiagPattern;
        case 3:
            return Qt::BDiagPattern;
        case 4:
            return Qt::CrossPattern;
        default:
            return Qt::DiagCrossPattern;
    }
}

// The angle of an ellipse's parametric form at the ray from its centre through `point`, in
// degrees counter-clockwise from three o'clock on a y-down surface: what QPainterPath::arcTo
// takes.
double parametricAngle(const QRectF& rect, QPointF point) {
    const QPointF centre = rect.center();
    const double a = rect.width() / 2;
    const double b = rect.height() / 2;
    if (a == 0 || b == 0) {
        return 0;
    }
    return std::atan2(-(point.y() - centre.y()) / b, (point.x() - centre.x()) / a) * 180 /
           std::numbers::pi;
}

}  // namespace

MetafileCanvas::MetafileCanvas(QImage& picture, const char* formatName, QTransform deviceToPicture,
                               QPointF devicePixelsPerMm)
    : picture_(picture),
      formatName_(formatName),
      deviceToPicture_(deviceToPicture),
      devicePixelsPerMm_(devicePixelsPerMm),
      painter_(&picture),
      objects_(formatName) {}

MetafileCanvas::~MetafileCanvas() {
    painter_.end();
}

void MetafileCanvas::resizeObjectTable(qint64 count) {
    objects_.resize(count);
}

void MetafileCanvas::addObject(GdiObject object) {
    objects_.add(std::move(object));
}

void MetafileCanvas::setObject(qint64 index, GdiObject object) {
    objects_.set(index, std::move(object));
}

void MetafileCanvas::selectObject(qint64 index) {
    // Selecting a deleted object fails on a device and changes nothing.
    if (const auto& slot = objects_.at(index)) {
        select(*slot);
    }
}

void MetafileCanvas::deleteObject(qint64 index) {
    objects_.remove(index);
}

void MetafileCanvas::select(const GdiObject& object) {
    if (const auto* pen = std::get_if<PenSpec>(&object)) {
        state_.pen = *pen;
    } else if (const auto* brush = std::get_if<BrushSpec>(&object)) {
        state_.brush = *brush;
    } else if (const auto* font = std::get_if<FontSpec>(&object)) {
        state_.font = *font;
    }
}

void MetafileCanvas::saveState() {
    if (saved_.size() < kMaxSavedStates) {
        saved_.push_back(state_);
    }
}

void MetafileCanvas::restoreState(qint64 which) {
    const auto count = static_cast<qint64>(saved_.size());
    // Positive: the state that save number `which` kept (counted from 1); negative: relative.
    const qint64 index = which < 0 ? count + which : which - 1;
    if (which == 0 || index < 0 || index >= count) {
        return;  // a device refuses the call
    }
    state_ = saved_[static_cast<size_t>(index)];
    saved_.resize(static_cast<size_t>(index));
}

void MetafileCanvas::setMix(int mix) {
    if (mix >= 1 && mix <= 16) {
        state_.mix = mix;
    }
}

void MetafileCanvas::prepare() {
    ++paints_;
    painter_.resetTransform();
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (state_.clip) {
        painter_.setClipRegion(*state_.clip);
    } else {
        painter_.setClipping(false);
    }
    painter_.setTransform(logicalToPicture());
}

QPen MetafileCanvas::currentPen() const {
    const PenSpec& wanted = state_.pen;
    const uint32_t kind = wanted.style & 0x0F;
    if (kind == kPenNull) {
        return QPen(Qt::NoPen);
    }
    QPen pen{QColor(wanted.colour)};
    double width = wanted.width;
    // A pen wider than the picture many times over paints the same and only costs time.
    const QTransform transform = logicalToPicture();
    const double scale = std::max(axisScale(transform, QPointF(1, 0)), 1e-9);
    const double limit = 4.0 * (picture_.width() + picture_.height());
    width = std::min(width, limit / scale);
    pen.setWidthF(width);  // 0 is Qt's one-pixel pen too
    static constexpr Qt::PenStyle kDashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                               Qt::DashDotLine, Qt::DashDotDotLine};
    pen.setStyle(kind < 5 ? kDashes[kind] : Qt::SolidLine);
    switch (wanted.style & 0x0F00) {
        case 0x0100:
            pen.setCapStyle(Qt::SquareCap);
            break;
        case 0x0200:
            pen.setCapStyle(Qt::FlatCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (wanted.style & 0xF000) {
        case 0x1000:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case 0x2000:
            pen.setJoinStyle(Qt::MiterJoin);
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    return pen;
}

void MetafileCanvas::fillAndStroke(const QPainterPath& shape, bool fill, bool stroke) {
    if (path_) {
        path_->addPath(logicalToPicture().map(shape));
        return;
    }
    if (state_.mix == kMixCopyPen) {
        prepare();
        paintShape(painter_, shape, fill, stroke, QPoint(0, 0));
        return;
    }
    // Any other mix is painted onto a layer and mixed into the picture pixel by pixel.
    ++paints_;
    const double penPixels =
        currentPen().widthF() * axisScale(logicalToPicture(), QPointF(1, 0)) + 2;
    const QRect area = coveredArea(shape, penPixels);
    if (area.isEmpty()) {
        return;
    }
    QImage layer;
    QPainter painter;
    beginLayer(layer, painter, area);
    paintShape(painter, shape, fill, stroke, area.topLeft());
    painter.end();
    mixLayer(picture_, area.topLeft(), layer, nullptr, mixCode(state_.mix));
}

void MetafileCanvas::paintShape(QPainter& painter, const QPainterPath& shape, bool fill,
                                bool stroke, QPoint origin) const {
    if (fill) {
        paintBrush(painter, shape, origin, false);
    }
    if (stroke) {
        const QPen pen = currentPen();
        if (pen.style() != Qt::NoPen) {
            painter.strokePath(shape, pen);
        }
    }
}

void MetafileCanvas::paintBrush(QPainter& painter, const QPainterPath& shape, QPoint origin,
                                bool opaque) const {
    const BrushSpec& brush = state_.brush;
    if (brush.style == kBrushNull) {
        if (opaque) {
            painter.fillPath(shape, Qt::black);
        }
    } else if (brush.style == kBrushHatched) {
        if (opaque || state_.opaqueBackground) {
            painter.fillPath(shape, QColor(state_.backgroundColour));
        }
        painter.fillPath(shape, QBrush(QColor(brush.colour), hatchStyle(brush.hatch)));
    } else if (brush.style == kBrushPattern && !brush.pattern.isNull()) {
        QBrush texture(brush.pattern);
        // Patterns are laid from the picture's corner, in picture pixels, as on a device.
        texture.setTransform(QTransform::fromTranslate(-origin.x(), -origin.y()) *
                             painter.transform().inverted());
        painter.fillPath(shape, texture);
    } else {
        painter.fillPath(shape, QColor(brush.colour));
    }
}

QRect MetafileCanvas::coveredArea(const QPainterPath& shape, double margin) const {
    const QRectF box = logicalToPicture().map(shape).controlPointRect();
    const double limit = kCoordinateLimit;
    if (!(box.left() > -limit && box.top() > -limit && box.right() < limit &&
          box.bottom() < limit)) {
        return picture_.rect();
    }
    const QRect area(QPoint(clampedInt(box.left() - margin), clampedInt(box.top() - margin)),
                     QPoint(clampedInt(box.right() + margin), clampedInt(box.bottom() + margin)));
    return area & picture_.rect();
}

void MetafileCanvas::beginLayer(QImage& layer, QPainter& painter, const QRect& area) const {
    layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) {
        throw FormatError(std::string("Not enough memory for the ") + formatName_ + " picture.");
    }
    layer.fill(Qt::transparent);
    painter.begin(&layer);
    if (state_.clip) {
        painter.setClipRegion(state_.clip->translated(-area.topLeft()));
    }
    painter.setTransform(logicalToPicture() * QTransform::fromTranslate(-area.left(), -area.top()));
}

void MetafileCanvas::path(const QPainterPath& shape, bool fill, bool stroke) {
    fillAndStroke(shape, fill, stroke);
}

void MetafileCanvas::lineTo(QPointF point) {
    if (path_) {
        const QTransform transform = logicalToPicture();
        const QPointF from = transform.map(state_.position);
        if (path_->elementCount() == 0 || path_->currentPosition() != from) {
            path_->moveTo(from);
        }
        path_->lineTo(transform.map(point));
    } else {
        QPainterPath line(state_.position);
        line.lineTo(point);
        fillAndStroke(line, false, true);
    }
    state_.position = point;
}

void MetafileCanvas::polyline(const QPolygonF& points) {
    if (points.size() < 2) {
        return;
    }
    QPainterPath line;
    line.addPolygon(points);
    fillAndStroke(line, false, true);
}

void MetafileCanvas::polylineTo(const QPolygonF& points) {
    for (const QPointF& point : points) {
        lineTo(point);
    }
}

void MetafileCanvas::polygons(const std::vector<QPolygonF>& shapes) {
    QPainterPath area;
    area.setFillRule(state_.winding ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QPolygonF& shape : shapes) {
        if (shape.size() >= 2) {
            area.addPolygon(shape);
            area.closeSubpath();
        }
    }
    fillAndStroke(area, true, true);
}

void MetafileCanvas::bezier(const QPolygonF& points, bool fromPosition) {
    QPainterPath curve;
    qsizetype next = 0;
    if (fromPosition) {
        curve.moveTo(state_.position);
    } else if (!points.isEmpty()) {
        curve.moveTo(points[0]);
        next = 1;
    } else {
        return;
    }
    for (; next + 2 < points.size(); next += 3) {
        curve.cubicTo(points[next], points[next + 1], points[next + 2]);
    }
    if (fromPosition && next > 0) {
        state_.position = points[next - 1];
    }
    if (fromPosition && path_) {
        // A curve drawn inside a path continues its current figure.
        const QTransform transform = logicalToPicture();
        const QPainterPath mapped = transform.map(curve);
        if (path_->elementCount() == 0 ||
            path_->currentPosition() != mapped.elementAt(0).operator QPointF()) {
            path_->moveTo(mapped.elementAt(0));
        }
        path_->connectPath(mapped);
        return;
    }
    fillAndStroke(curve, false, true);
}

void MetafileCanvas::rectangle(const QRectF& rect) {
    QPainterPath area;
    area.addRect(rect.normalized());
    fillAndStroke(area, true, true);
}

void MetafileCanvas::roundRectangle(const QRectF& rect, QSizeF corner) {
    QPainterPath area;
    area.addRoundedRect(rect.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    fillAndStroke(area, true, true);
}

void MetafileCanvas::ellipse(const QRectF& rect) {
    QPainterPath area;
    area.addEllipse(rect.normalized());
    fillAndStroke(area, true, true);
}

void MetafileCanvas::arc(const QRectF& rect, QPointF start, QPointF end, ArcKind kind) {
    const QRectF box = rect.normalized();
    if (box.isEmpty()) {
        return;
    }
    const double from = parametricAngle(box, start);
    const double to = parametricAngle(box, end);
    // Arcs run counter-clockwise on the picture unless the metafile asks otherwise; a mapping
    // that mirrors turns the direction round in logical units.
    bool counterClockwise = !state_.clockwiseArcs;
    if (logicalToPicture().determinant() < 0) {
        counterClockwise = !counterClockwise;
    }
    double sweep = std::fmod(counterClockwise ? to - from : from - to, 360.0);
    if (sweep <= 0) {
        sweep += 360;
    }
    if (!counterClockwise) {
        sweep = -sweep;
    }
    QPainterPath shape;
    if (kind == ArcKind::Pie) {
        shape.moveTo(box.center());
        shape.arcTo(box, from, sweep);
        shape.closeSubpath();
    } else {
        shape.arcMoveTo(box, from);
        shape.arcTo(box, from, sweep);
        if (kind == ArcKind::Chord) {
            shape.closeSubpath();
        }
    }
    fillAndStroke(shape, kind != ArcKind::Arc, true);
}

void MetafileCanvas::beginPath() {
    path_ = QPainterPath();
}

void MetafileCanvas::endPath() {
    if (path_) {
        finishedPath_ = *path_;
        path_.reset();
    }
}

void MetafileCanvas::closeFigure() {
    if (path_) {
        path_->closeSubpath();
    }
}

void MetafileCanvas::drawFinishedPath(bool fill, bool stroke) {
    if (path_) {
        return;  // drawing inside a bracket is refused by a device
    }
    QPainterPath shape = finishedPath_;
    finishedPath_ = QPainterPath();
    shape.setFillRule(state_.winding ? Qt::WindingFill : Qt::OddEvenFill);
    // The path is kept in picture pixels; the pen still follows the logical mapping.
    const QTransform transform = logicalToPicture();
    bool invertible = false;
    const QTransform back = transform.inverted(&invertible);
    if (!invertible) {
        return;
    }
    fillAndStroke(back.map(shape), fill, stroke);
}

}  // namespace formats::metafile
