#include "formats/metafile/metafile_canvas.h"

#include "formats/metafile/metafile_geometry.h"

namespace formats::metafile {

QRegion regionOf(const QPolygonF& polygon) {
    const QRectF box = polygon.boundingRect();
    const QPoint topLeft(clampedInt(box.left()), clampedInt(box.top()));
    const QPoint bottomRight(clampedInt(box.right()), clampedInt(box.bottom()));
    return QRegion(QRect(topLeft, bottomRight - QPoint(1, 1)));
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

QRegion pictureRegionOf(const QTransform& transform, const std::vector<QRectF>& rects,
                        const char* formatName) {
    // Each rectangle joins in time growing with the region; real regions hold far fewer.
    constexpr size_t kMaxRects = 16384;
    if (rects.size() > kMaxRects) {
        throwDamaged(formatName, "a region holds more rectangles than a picture can show");
    }
    QRegion region;
    for (const QRectF& rect : rects) {
        region += pictureRegionOf(transform, rect);
    }
    return region;
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
