#include "formats/metafile/metafile_canvas.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "formats/format_error.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {
namespace {

// Deeper nesting than this is no real picture; further saves are ignored, as a device would
// refuse them.
constexpr size_t kMaxSavedStates = 4096;
// WMF object indices are 16-bit.
constexpr size_t kMaxObjects = 65536;

constexpr uint32_t kPenNull = 5;
constexpr uint32_t kBrushNull = 1;
constexpr uint32_t kBrushHatched = 2;
constexpr uint32_t kBrushPattern = 3;

constexpr uint32_t kRopBlackness = 0x00000042;
constexpr uint32_t kRopWhiteness = 0x00FF0062;
constexpr uint32_t kRopDstInvert = 0x00550009;
constexpr uint32_t kRopSrcAnd = 0x008800C6;
constexpr uint32_t kRopSrcPaint = 0x00EE0086;
constexpr uint32_t kRopSrcInvert = 0x00660046;

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

// Length of the picture-space image of a logical unit vector.
double axisScale(const QTransform& transform, QPointF axis) {
    return QLineF(transform.map(QPointF(0, 0)), transform.map(axis)).length();
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

// Coordinates beyond this cannot touch any picture we accept and would overflow an int.
constexpr double kCoordinateLimit = 1e8;

int clampedInt(double value) {
    if (!(value > -kCoordinateLimit)) {
        return static_cast<int>(-kCoordinateLimit);  // NaN too
    }
    return static_cast<int>(std::lround(std::min(value, kCoordinateLimit)));
}

// A region from a polygon goes through QRegion's polygon scan, which leaks on some degenerate
// input; clip paths and turned rectangles are rare enough that their bounding box serves.
QRegion regionOf(const QPolygonF& polygon) {
    const QRectF box = polygon.boundingRect();
    const QPoint topLeft(clampedInt(box.left()), clampedInt(box.top()));
    const QPoint bottomRight(clampedInt(box.right()), clampedInt(box.bottom()));
    return QRegion(QRect(topLeft, bottomRight - QPoint(1, 1)));
}

}  // namespace

PenSpec makePen(uint32_t style, double width, QRgb colour) {
    PenSpec pen;
    pen.style = style;
    pen.width = std::abs(width);
    pen.colour = colour;
    return pen;
}

BrushSpec makeBrush(uint32_t style, QRgb colour, uint32_t hatch) {
    BrushSpec brush;
    brush.style = style > kBrushHatched ? 0 : style;
    brush.colour = colour;
    brush.hatch = hatch;
    return brush;
}

BrushSpec makePatternBrush(const QImage& pattern) {
    BrushSpec brush;
    brush.style = kBrushPattern;
    brush.pattern = pattern.convertToFormat(QImage::Format_RGB32);
    return brush;
}

FontSpec readFont(RecordData& data, bool enhanced) {
    const qint64 fieldBytes = enhanced ? 4 : 2;
    const auto field = [&] { return enhanced ? data.s32() : int32_t{data.s16()}; };
    FontSpec font;
    font.height = field();
    data.skip(fieldBytes);  // width
    font.escapement = field();
    data.skip(fieldBytes);  // orientation
    font.weight = field();
    font.italic = data.take(1)[0] != 0;
    font.underline = data.take(1)[0] != 0;
    font.strikeOut = data.take(1)[0] != 0;
    data.skip(5);  // character set, precisions, quality, pitch and family
    // At most 32 characters, ended by a zero unless they fill the field.
    const qint64 characters = std::min<qint64>(32, data.remaining() / (enhanced ? 2 : 1));
    for (qint64 i = 0; i < characters; ++i) {
        const uint16_t unit = enhanced ? data.u16() : data.take(1)[0];
        if (unit == 0) {
            break;
        }
        font.face.append(QChar(unit));
    }
    return font;
}

MetafileCanvas::MetafileCanvas(QImage& picture, const char* formatName, QTransform deviceToPicture,
                               QPointF devicePixelsPerMm)
    : picture_(picture),
      formatName_(formatName),
      deviceToPicture_(deviceToPicture),
      devicePixelsPerMm_(devicePixelsPerMm),
      painter_(&picture) {}

MetafileCanvas::~MetafileCanvas() {
    painter_.end();
}

void MetafileCanvas::setMapMode(int mode) {
    if (mode >= kMapText && mode <= kMapAnisotropic) {
        state_.mapMode = mode;
    }
}

// A zero extent would divide by zero; a device refuses it, and so do we.
void MetafileCanvas::setWindowExt(QPointF extent) {
    if (extent.x() != 0 && extent.y() != 0) {
        state_.windowExt = extent;
    }
}

void MetafileCanvas::setViewportExt(QPointF extent) {
    if (extent.x() != 0 && extent.y() != 0) {
        state_.viewportExt = extent;
    }
}

std::optional<QPointF> MetafileCanvas::scaledExtent(QPointF extent, double xNumerator,
                                                    double xDenominator, double yNumerator,
                                                    double yDenominator) {
    if (xDenominator == 0 || yDenominator == 0) {
        return std::nullopt;
    }
    return QPointF(extent.x() * xNumerator / xDenominator, extent.y() * yNumerator / yDenominator);
}

void MetafileCanvas::scaleWindowExt(double xNumerator, double xDenominator, double yNumerator,
                                    double yDenominator) {
    if (const auto extent =
            scaledExtent(state_.windowExt, xNumerator, xDenominator, yNumerator, yDenominator)) {
        setWindowExt(*extent);
    }
}

void MetafileCanvas::scaleViewportExt(double xNumerator, double xDenominator, double yNumerator,
                                      double yDenominator) {
    if (const auto extent =
            scaledExtent(state_.viewportExt, xNumerator, xDenominator, yNumerator, yDenominator)) {
        setViewportExt(*extent);
    }
}

QTransform MetafileCanvas::logicalToPicture() const {
    double mmPerUnit = 0;
    switch (state_.mapMode) {
        case kMapLoMetric:
            mmPerUnit = 0.1;
            break;
        case kMapHiMetric:
            mmPerUnit = 0.01;
            break;
        case kMapLoEnglish:
            mmPerUnit = 0.254;
            break;
        case kMapHiEnglish:
            mmPerUnit = 0.0254;
            break;
        case kMapTwips:
            mmPerUnit = 25.4 / 1440;
            break;
        default:
            break;
    }
    double sx = 1;
    double sy = 1;
    if (mmPerUnit > 0) {
        // The fixed modes count y upwards.
        sx = mmPerUnit * devicePixelsPerMm_.x();
        sy = -mmPerUnit * devicePixelsPerMm_.y();
    } else if (state_.mapMode == kMapIsotropic || state_.mapMode == kMapAnisotropic) {
        sx = state_.viewportExt.x() / state_.windowExt.x();
        sy = state_.viewportExt.y() / state_.windowExt.y();
        if (state_.mapMode == kMapIsotropic) {
            const double unit = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(unit, sx);
            sy = std::copysign(unit, sy);
        }
    }
    const QTransform page(sx, 0, 0, sy, state_.viewportOrg.x() - state_.windowOrg.x() * sx,
                          state_.viewportOrg.y() - state_.windowOrg.y() * sy);
    return state_.world * page * deviceToPicture_;
}

void MetafileCanvas::resizeObjectTable(qint64 count) {
    const qint64 kept = std::clamp(count, qint64{0}, static_cast<qint64>(kMaxObjects));
    objects_.clear();
    objects_.resize(static_cast<size_t>(kept));
}

void MetafileCanvas::addObject(GdiObject object) {
    for (auto& slot : objects_) {
        if (!slot) {
            slot = std::move(object);
            return;
        }
    }
    if (objects_.size() >= kMaxObjects) {
        throwDamaged(formatName_, "it creates more objects than a metafile can hold");
    }
    objects_.emplace_back(std::move(object));
}

namespace {
[[noreturn]] void throwBadIndex(const char* formatName, qint64 index, size_t size) {
    throwDamaged(formatName, "a record uses object " + std::to_string(index) +
                                 ", outside its object table of " + std::to_string(size));
}
}  // namespace

void MetafileCanvas::setObject(qint64 index, GdiObject object) {
    if (index < 0 || index >= objectTableSize()) {
        throwBadIndex(formatName_, index, objects_.size());
    }
    objects_[static_cast<size_t>(index)] = std::move(object);
}

void MetafileCanvas::selectObject(qint64 index) {
    if (index < 0 || index >= objectTableSize()) {
        throwBadIndex(formatName_, index, objects_.size());
    }
    // Selecting a deleted object fails on a device and changes nothing.
    if (const auto& slot = objects_[static_cast<size_t>(index)]) {
        select(*slot);
    }
}

void MetafileCanvas::deleteObject(qint64 index) {
    if (index < 0 || index >= objectTableSize()) {
        throwBadIndex(formatName_, index, objects_.size());
    }
    objects_[static_cast<size_t>(index)].reset();
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

QRegion pictureRegionOf(const QTransform& transform, const QRectF& rect) {
    const QRectF normal = rect.normalized();
    if (transform.isRotating()) {
        return regionOf(transform.map(QPolygonF(normal)));
    }
    const QRectF mapped = transform.mapRect(normal);
    const QPoint topLeft(clampedInt(mapped.left()), clampedInt(mapped.top()));
    const QPoint bottomRight(clampedInt(mapped.right()), clampedInt(mapped.bottom()));
    return QRegion(QRect(topLeft, bottomRight - QPoint(1, 1)));
}

void MetafileCanvas::intersectClip(const QRectF& rect) {
    const QRegion current = state_.clip.value_or(QRegion(picture_.rect()));
    state_.clip = current.intersected(pictureRegionOf(logicalToPicture(), rect));
}

void MetafileCanvas::excludeClip(const QRectF& rect) {
    const QRegion current = state_.clip.value_or(QRegion(picture_.rect()));
    state_.clip = current.subtracted(pictureRegionOf(logicalToPicture(), rect));
}

void MetafileCanvas::offsetClip(QPointF logicalOffset) {
    if (!state_.clip) {
        return;
    }
    const QTransform transform = logicalToPicture();
    const QPointF offset = transform.map(logicalOffset) - transform.map(QPointF(0, 0));
    state_.clip->translate(clampedInt(offset.x()), clampedInt(offset.y()));
}

void MetafileCanvas::prepare() {
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
    prepare();
    const BrushSpec& brush = state_.brush;
    if (fill && brush.style != kBrushNull) {
        if (brush.style == kBrushHatched) {
            if (state_.opaqueBackground) {
                painter_.fillPath(shape, QColor(state_.backgroundColour));
            }
            painter_.fillPath(shape, QBrush(QColor(brush.colour), hatchStyle(brush.hatch)));
        } else if (brush.style == kBrushPattern && !brush.pattern.isNull()) {
            QBrush texture(brush.pattern);
            // Patterns are laid in picture pixels, as on a device.
            texture.setTransform(painter_.transform().inverted());
            painter_.fillPath(shape, texture);
        } else {
            painter_.fillPath(shape, QColor(brush.colour));
        }
    }
    if (stroke) {
        const QPen pen = currentPen();
        if (pen.style() != Qt::NoPen) {
            painter_.strokePath(shape, pen);
        }
    }
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

void MetafileCanvas::fillRect(const QRectF& rect, const QBrush& brush) {
    prepare();
    painter_.fillRect(rect.normalized(), brush);
}

void MetafileCanvas::patternFill(const QRectF& rect, uint32_t rasterOp) {
    switch (rasterOp) {
        case kRopBlackness:
            fillRect(rect, Qt::black);
            return;
        case kRopWhiteness:
            fillRect(rect, Qt::white);
            return;
        case kRopDstInvert:
            prepare();
            painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
            painter_.fillRect(rect.normalized(), Qt::black);
            return;
        default: {
            // The other operations with a pattern are drawn as a plain copy of the brush.
            const uint32_t style = state_.brush.style;
            if (style == kBrushNull) {
                return;
            }
            QPainterPath area;
            area.addRect(rect.normalized());
            fillAndStroke(area, true, false);
            return;
        }
    }
}

void MetafileCanvas::setPixel(QPointF point, QRgb colour) {
    const QPointF at = logicalToPicture().map(point);
    if (!(std::abs(at.x()) < 1e8 && std::abs(at.y()) < 1e8)) {
        return;
    }
    prepare();
    painter_.resetTransform();
    painter_.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(colour));
}

void MetafileCanvas::image(const QRectF& target, const QImage& picture, const QRectF& source,
                           uint32_t rasterOp) {
    if (picture.isNull() || target.width() == 0 || target.height() == 0) {
        return;
    }
    // A negative target size mirrors the bitmap.
    const bool mirrorX = target.width() < 0;
    const bool mirrorY = target.height() < 0;
    QImage drawn = picture;
    QRectF from = source.normalized();
    if (mirrorX || mirrorY) {
        drawn = picture.mirrored(mirrorX, mirrorY);
        if (mirrorX) {
            from.moveLeft(picture.width() - from.right());
        }
        if (mirrorY) {
            from.moveTop(picture.height() - from.bottom());
        }
    }
    prepare();
    switch (rasterOp) {
        case kRopSrcAnd:
            painter_.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case kRopSrcPaint:
            painter_.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            break;
        case kRopSrcInvert:
            painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        default:
            break;  // a copy, which is what nearly every metafile asks for
    }
    painter_.drawImage(target.normalized(), drawn, from);
}

void MetafileCanvas::dib(const QRectF& target, const Dib& bitmap, QRectF source,
                         bool sourceFromBottom, uint32_t rasterOp) {
    if (sourceFromBottom && bitmap.bottomUp) {
        source.moveTop(bitmap.image.height() - source.top() - source.height());
    }
    image(target, bitmap.image, source, rasterOp);
}

void MetafileCanvas::text(QPointF reference, const QString& text,
                          const std::vector<double>& advances, uint32_t options,
                          const std::optional<QRectF>& rect) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw FormatError(std::string("Cannot load image. The text in this ") + formatName_ +
                          " file can only be drawn while the program runs.");
    }
    const QTransform transform = logicalToPicture();
    if (rect && (options & kTextOpaque) != 0) {
        fillRect(*rect, QColor(state_.backgroundColour));
    }
    if (text.isEmpty()) {
        return;
    }
    const bool updatePosition = (state_.textAlign & kAlignUpdateCp) != 0;
    const QPointF origin = transform.map(updatePosition ? state_.position : reference);
    const double xScale = axisScale(transform, QPointF(1, 0));
    const double yScale = axisScale(transform, QPointF(0, 1));
    if (!(std::abs(origin.x()) < 1e7 && std::abs(origin.y()) < 1e7)) {
        return;
    }

    const FontSpec& wanted = state_.font;
    // Glyphs larger than this are no text a picture can show, and cost the font engine dearly.
    const double largest = std::min(4000.0, 2.0 * std::max(picture_.width(), picture_.height()));
    double pixels = wanted.height == 0 ? 12.0 : std::abs(wanted.height) * yScale;
    pixels = std::clamp(pixels, 1.0, largest);
    QFont font(wanted.face.isEmpty() ? QStringLiteral("Sans Serif") : wanted.face);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    if (wanted.height > 0) {
        // A positive height is the whole cell, ascent and descent together.
        const double cell = QFontMetricsF(font).height();
        if (cell > 0) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * pixels / cell))));
        }
    }
    font.setWeight(
        static_cast<QFont::Weight>(std::clamp(wanted.weight == 0 ? 400 : wanted.weight, 1, 1000)));
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    font.setStrikeOut(wanted.strikeOut);
    const QFontMetricsF metrics(font);

    double width = 0;
    std::vector<double> offsets;
    if (!advances.empty()) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            offsets.push_back(width);
            width +=
                (static_cast<size_t>(i) < advances.size() ? advances[static_cast<size_t>(i)] : 0) *
                xScale;
        }
    } else {
        width = metrics.horizontalAdvance(text);
    }
    double dx = 0;
    if ((state_.textAlign & kAlignCenter) == kAlignCenter) {
        dx = -width / 2;
    } else if ((state_.textAlign & kAlignRight) != 0) {
        dx = -width;
    }
    double dy = metrics.ascent();
    if ((state_.textAlign & kAlignBaseline) == kAlignBaseline) {
        dy = 0;
    } else if ((state_.textAlign & kAlignBottom) != 0) {
        dy = -metrics.descent();
    }

    prepare();
    painter_.resetTransform();
    if (rect && (options & kTextClipped) != 0) {
        painter_.setClipRegion(pictureRegionOf(transform, *rect), Qt::IntersectClip);
    }
    painter_.translate(origin);
    painter_.rotate(-wanted.escapement / 10.0);
    if (state_.opaqueBackground) {
        painter_.fillRect(QRectF(dx, dy - metrics.ascent(), width, metrics.height()),
                          QColor(state_.backgroundColour));
    }
    painter_.setFont(font);
    painter_.setPen(QColor(state_.textColour));
    if (offsets.empty()) {
        painter_.drawText(QPointF(dx, dy), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            painter_.drawText(QPointF(dx + offsets[static_cast<size_t>(i)], dy), QString(text[i]));
        }
    }
    if (updatePosition) {
        const QPointF end = painter_.transform().map(QPointF(dx + width, 0));
        state_.position = transform.inverted().map(end);
    }
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

void MetafileCanvas::clipToFinishedPath(int mode) {
    const QRegion region = regionOf(finishedPath_.toFillPolygon());
    finishedPath_ = QPainterPath();
    combineClip(region, mode);
}

void MetafileCanvas::combineClip(const QRegion& region, int mode) {
    const QRegion current = state_.clip.value_or(QRegion(picture_.rect()));
    switch (mode) {
        case 1:  // and
            state_.clip = current.intersected(region);
            break;
        case 2:  // or
            state_.clip = current.united(region);
            break;
        case 3:  // xor
            state_.clip = current.xored(region);
            break;
        case 4:  // difference
            state_.clip = current.subtracted(region);
            break;
        default:  // copy
            state_.clip = region;
            break;
    }
}

}  // namespace formats::metafile
