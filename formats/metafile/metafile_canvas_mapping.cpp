#include "formats/metafile/metafile_canvas.h"

#include <algorithm>
#include <cmath>

namespace formats::metafile {

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

}  // namespace formats::metafile
