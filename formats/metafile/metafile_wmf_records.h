// Function numbers and argument helpers of the 16-bit Windows metafile's records: a 32-bit
// size in 16-bit words, a function number and 16-bit parameters, stored last argument first.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstdint>

#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile::wmf {

constexpr const char* kWmf = "WMF";

enum Function : uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kRealizePalette = 0x0035,
    kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kRestoreDc = 0x0127,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kFrameRegion = 0x0429,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// The records that put a new object into the table.
constexpr bool createsObject(uint16_t function) {
    return function == kCreatePalette || function == kDibCreatePatternBrush ||
           function == kCreatePatternBrush || function == kCreatePenIndirect ||
           function == kCreateFontIndirect || function == kCreateBrushIndirect ||
           function == kCreateRegion;
}

// A point stored y first, as most WMF records keep their coordinates.
inline QPointF pointYx(RecordData& data) {
    const int16_t y = data.s16();
    const int16_t x = data.s16();
    return QPointF(x, y);
}

// Bottom, right, top, left.
inline QRectF rectReversed(RecordData& data) {
    const int16_t bottom = data.s16();
    const int16_t right = data.s16();
    const int16_t top = data.s16();
    const int16_t left = data.s16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Text in the metafile's 8-bit character set, read as Latin-1.
inline QString string8(RecordData& data, qint64 length) {
    const uint8_t* bytes = data.take(length);
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace formats::metafile::wmf
