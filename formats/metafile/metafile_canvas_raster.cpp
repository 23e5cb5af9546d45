#include "formats/metafile/metafile_canvas.h"

#include <cmath>

namespace formats::metafile {
namespace {

constexpr uint32_t kRopBlackness = 0x00000042;
constexpr uint32_t kRopWhiteness = 0x00FF0062;
constexpr uint32_t kRopDstInvert = 0x00550009;
constexpr uint32_t kRopSrcAnd = 0x008800C6;
constexpr uint32_t kRopSrcPaint = 0x00EE0086;
constexpr uint32_t kRopSrcInvert = 0x00660046;

}  // namespace

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

}  // namespace formats::metafile
