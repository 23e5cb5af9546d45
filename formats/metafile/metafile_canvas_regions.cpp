// Region records: fill, paint, invert and frame. The region's pixels go back through the
// logical mapping so that the brush, clip and mix mode apply as to any shape.
#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_geometry.h"

namespace formats::metafile {

void MetafileCanvas::fillRegion(const QRegion& region, const BrushSpec& brush) {
    bool invertible = false;
    const QTransform back = logicalToPicture().inverted(&invertible);
    if (!invertible || region.isEmpty() || path_) {
        return;
    }
    QPainterPath shape;
    shape.addRegion(region);
    const BrushSpec selected = state_.brush;
    state_.brush = brush;
    try {
        fillAndStroke(back.map(shape), true, false);
    } catch (...) {
        state_.brush = selected;
        throw;
    }
    state_.brush = selected;
}

void MetafileCanvas::invertRegion(const QRegion& region) {
    const int mix = state_.mix;
    state_.mix = kMixNot;
    try {
        fillRegion(region, makeBrush(kBrushSolid, qRgb(0, 0, 0), 0));
    } catch (...) {
        state_.mix = mix;
        throw;
    }
    state_.mix = mix;
}

void MetafileCanvas::frameRegion(const QRegion& region, const BrushSpec& brush, QSizeF thickness) {
    const QTransform transform = logicalToPicture();
    const int across =
        std::clamp(clampedInt(std::abs(thickness.width()) * axisScale(transform, QPointF(1, 0))), 1,
                   picture_.width() + 1);
    const int down =
        std::clamp(clampedInt(std::abs(thickness.height()) * axisScale(transform, QPointF(0, 1))),
                   1, picture_.height() + 1);
    // The frame is what the region loses when it shrinks by the strokes on every side.
    const QRegion inner = region.intersected(region.translated(across, 0))
                              .intersected(region.translated(-across, 0))
                              .intersected(region.translated(0, down))
                              .intersected(region.translated(0, -down));
    fillRegion(region.subtracted(inner), brush);
}

}  // namespace formats::metafile
