// Small geometry helpers of the metafile canvas.
#pragma once

#include <QLineF>
#include <QPointF>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace formats::metafile {

// Coordinates beyond this cannot touch any picture we accept and would overflow an int.
constexpr double kCoordinateLimit = 1e8;

inline int clampedInt(double value) {
    if (!(value > -kCoordinateLimit)) {
        return static_cast<int>(-kCoordinateLimit);  // NaN too
    }
    return static_cast<int>(std::lround(std::min(value, kCoordinateLimit)));
}

// Length of the picture-space image of a logical unit vector.
inline double axisScale(const QTransform& transform, QPointF axis) {
    return QLineF(transform.map(QPointF(0, 0)), transform.map(axis)).length();
}

// The pixels of a polygon's bounding box. A region from a polygon goes through QRegion's
// polygon scan, which leaks on some degenerate input; clip paths and turned rectangles are
// rare enough that their bounding box serves.
QRegion regionOf(const QPolygonF& polygon);

}  // namespace formats::metafile
