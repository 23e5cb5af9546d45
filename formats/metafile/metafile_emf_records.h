// Record types and argument helpers of the enhanced metafile: records of a 32-bit type and a
// 32-bit size in bytes, with 32-bit parameters in argument order.
#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <cstdint>

#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile::emf {

constexpr const char* kEmf = "EMF";

enum Type : uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetRop2 = 20,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kOffsetClipRgn = 26,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kCreatePalette = 49,
    kLineTo = 54,
    kSetArcDirection = 57,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kFillRgn = 71,
    kFrameRgn = 72,
    kInvertRgn = 73,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
};

inline QPointF point32(RecordData& data) {
    const int32_t x = data.s32();
    const int32_t y = data.s32();
    return QPointF(x, y);
}

inline QRectF rect32(RecordData& data) {
    const QPointF topLeft = point32(data);
    const QPointF bottomRight = point32(data);
    return QRectF(topLeft, bottomRight);
}

inline QPolygonF points(RecordData& data, qint64 count, bool small) {
    if (small) {
        return points16(data, count);
    }
    if (count < 0 || count > data.remaining() / 8) {
        data.throwShort();
    }
    QPolygonF polygon;
    polygon.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        polygon.append(point32(data));
    }
    return polygon;
}

}  // namespace formats::metafile::emf
