#include <cmath>

#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_raster_ops.h"

namespace formats::metafile {
namespace {

constexpr uint8_t kPatternCopy = 0xF0;
constexpr uint8_t kSourceCopy = 0xCC;

}  // namespace

void MetafileCanvas::fillRect(const QRectF& rect, const QBrush& brush) {
    prepare();
    painter_.fillRect(rect.normalized(), brush);
}

void MetafileCanvas::patternFill(const QRectF& rect, uint32_t rasterOp) {
    QPainterPath shape;
    shape.addRect(rect.normalized());
    const uint8_t code = ternaryCode(rasterOp);
    if (code == kPatternCopy) {
        prepare();
        paintBrush(painter_, shape, QPoint(0, 0), false);
        return;
    }
    ++paints_;
    const QRect area = coveredArea(shape, 1);
    if (area.isEmpty()) {
        return;
    }
    // The brush over the rectangle is the pattern; it marks the pixels to mix as well.
    QImage layer;
    QPainter painter;
    beginLayer(layer, painter, area);
    paintBrush(painter, shape, area.topLeft(), true);
    painter.end();
    mixLayer(picture_, area.topLeft(), layer, &layer, code);
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
    const uint8_t code = ternaryCode(rasterOp);
    if (code == kSourceCopy) {
        prepare();
        painter_.drawImage(target.normalized(), drawn, from);
        return;
    }
    // Other operations: the bitmap on one layer, the brush on another when the operation
    // reads it, mixed into the picture.
    ++paints_;
    QPainterPath shape;
    shape.addRect(target.normalized());
    const QRect area = coveredArea(shape, 1);
    if (area.isEmpty()) {
        return;
    }
    QImage layer;
    QPainter painter;
    beginLayer(layer, painter, area);
    painter.drawImage(target.normalized(), drawn.convertToFormat(QImage::Format_RGB32), from);
    painter.end();
    if (!usesPattern(code)) {
        mixLayer(picture_, area.topLeft(), layer, nullptr, code);
        return;
    }
    QImage pattern;
    beginLayer(pattern, painter, area);
    paintBrush(painter, shape, area.topLeft(), true);
    painter.end();
    mixLayer(picture_, area.topLeft(), layer, &pattern, code);
}

void MetafileCanvas::dib(const QRectF& target, const Dib& bitmap, QRectF source,
                         bool sourceFromBottom, uint32_t rasterOp) {
    if (sourceFromBottom && bitmap.bottomUp) {
        source.moveTop(bitmap.image.height() - source.top() - source.height());
    }
    image(target, bitmap.image, source, rasterOp);
}

}  // namespace formats::metafile
