#include "formats/metafile/metafile_emf_player.h"

#include <cmath>
#include <optional>
#include <vector>

#include "formats/metafile/metafile_common_records.h"
#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_emf_records.h"

namespace formats::metafile::emf {
namespace {

constexpr uint32_t kStockObject = 0x80000000;

std::optional<CommonRecord> commonRecordOf(uint32_t type) {
    switch (type) {
        case kSaveDc:
            return CommonRecord::SaveState;
        case kRestoreDc:
            return CommonRecord::RestoreState;
        case kSetMapMode:
            return CommonRecord::MapMode;
        case kSetBkMode:
            return CommonRecord::BackgroundMode;
        case kSetPolyFillMode:
            return CommonRecord::PolyFillMode;
        case kSetTextAlign:
            return CommonRecord::TextAlign;
        case kSetRop2:
            return CommonRecord::Mix;
        case kSetBkColor:
            return CommonRecord::BackgroundColour;
        case kSetTextColor:
            return CommonRecord::TextColour;
        case kSetWindowOrgEx:
            return CommonRecord::WindowOrg;
        case kSetWindowExtEx:
            return CommonRecord::WindowExt;
        case kSetViewportOrgEx:
            return CommonRecord::ViewportOrg;
        case kSetViewportExtEx:
            return CommonRecord::ViewportExt;
        case kScaleWindowExtEx:
            return CommonRecord::ScaleWindowExt;
        case kScaleViewportExtEx:
            return CommonRecord::ScaleViewportExt;
        case kIntersectClipRect:
            return CommonRecord::IntersectClip;
        case kExcludeClipRect:
            return CommonRecord::ExcludeClip;
        case kOffsetClipRgn:
            return CommonRecord::OffsetClip;
        case kMoveToEx:
            return CommonRecord::MoveTo;
        case kLineTo:
            return CommonRecord::LineTo;
        case kRectangle:
            return CommonRecord::Rectangle;
        case kEllipse:
            return CommonRecord::Ellipse;
        case kRoundRect:
            return CommonRecord::RoundRectangle;
        case kArc:
            return CommonRecord::Arc;
        case kChord:
            return CommonRecord::Chord;
        case kPie:
            return CommonRecord::Pie;
        case kSetPixelV:
            return CommonRecord::SetPixel;
        default:
            return std::nullopt;
    }
}

std::optional<QTransform> transformOf(RecordData& data) {
    float values[6];
    for (float& value : values) {
        value = data.f32();
        if (!std::isfinite(value) || std::abs(value) > 1e9f) {
            return std::nullopt;
        }
    }
    return QTransform(values[0], values[1], values[2], values[3], values[4], values[5]);
}

}  // namespace

// Index 0 of the table stands for the metafile itself and is never an object.
qint64 EmfPlayer::handle(uint32_t index) const {
    if (index == 0) {
        throwDamaged(kEmf, "a record uses object 0, which is reserved");
    }
    return index;
}

void EmfPlayer::play(uint32_t type, RecordData& data) {
    if (const auto common = commonRecordOf(type)) {
        Arguments arguments(data, true);
        playCommonRecord(*common, arguments, canvas_);
        return;
    }
    switch (type) {
        case kSetWorldTransform:
        case kModifyWorldTransform:
            worldTransform(type, data);
            break;
        case kSetArcDirection:
            canvas_.state().clockwiseArcs = data.u32() == 2;
            break;
        case kCreatePen:
        case kExtCreatePen:
        case kCreateBrushIndirect:
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt:
        case kExtCreateFontIndirectW:
        case kCreatePalette:
            createObject(type, data);
            break;
        case kSelectObject:
            selectObject(data);
            break;
        case kDeleteObject:
            canvas_.deleteObject(handle(data.u32()));
            break;
        case kExtSelectClipRgn:
            clipRegion(data);
            break;
        case kFillRgn:
        case kFrameRgn:
        case kInvertRgn:
        case kPaintRgn:
            regionRecord(type, data);
            break;
        case kPolyBezier:
        case kPolygon:
        case kPolyline:
        case kPolyBezierTo:
        case kPolylineTo:
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            polyRecord(type, data);
            break;
        case kPolyPolyline:
        case kPolyPolygon:
        case kPolyPolyline16:
        case kPolyPolygon16:
            polyPolyRecord(type, data);
            break;
        case kBeginPath:
        case kEndPath:
        case kAbortPath:
        case kCloseFigure:
        case kFillPath:
        case kStrokeAndFillPath:
        case kStrokePath:
        case kSelectClipPath:
            pathRecord(type, data);
            break;
        case kBitBlt:
        case kStretchBlt:
        case kSetDiBitsToDevice:
        case kStretchDiBits:
            bitmap(type, data);
            break;
        case kExtTextOutA:
            text(data, false);
            break;
        case kExtTextOutW:
            text(data, true);
            break;
        default:
            break;  // records that do not draw, comments (EMF+ among them), or not drawn by us
    }
}

void EmfPlayer::worldTransform(uint32_t type, RecordData& data) {
    QTransform& world = canvas_.state().world;
    const auto transform = transformOf(data);
    if (type == kSetWorldTransform) {
        if (transform) {
            world = *transform;
        }
        return;
    }
    const uint32_t mode = data.u32();
    if (mode == 1) {
        world = QTransform();
    } else if (transform && mode == 2) {
        world = *transform * world;
    } else if (transform && mode == 3) {
        world = world * *transform;
    } else if (transform && mode == 4) {
        world = *transform;
    }
}

void EmfPlayer::createObject(uint32_t type, RecordData& data) {
    const qint64 index = handle(data.u32());
    switch (type) {
        case kCreatePen:
            canvas_.setObject(index, readPen(data, true));
            break;
        case kExtCreatePen: {
            data.skip(16);  // bitmap of a pattern pen
            const uint32_t style = data.u32();
            uint32_t width = data.u32();
            data.skip(4);  // brush style
            if ((style & 0x000F0000) == 0) {
                width = 0;  // a cosmetic pen is one pixel wide
            }
            canvas_.setObject(index, makePen(style, width, colourRef(data)));
            break;
        }
        case kCreateBrushIndirect:
            canvas_.setObject(index, readBrush(data, true));
            break;
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt: {
            data.skip(4);  // colour usage
            const uint32_t infoOffset = data.u32();
            const uint32_t infoSize = data.u32();
            const uint32_t bitsOffset = data.u32();
            const uint32_t bitsSize = data.u32();
            // Offsets count from the record's start, eight bytes before its parameters.
            canvas_.setObject(index,
                              makePatternBrush(decodeDib(data.sub(qint64{infoOffset} - 8, infoSize),
                                                         data.sub(qint64{bitsOffset} - 8, bitsSize))
                                                   .image));
            break;
        }
        case kExtCreateFontIndirectW:
            canvas_.setObject(index, readFont(data, true));
            break;
        default:
            canvas_.setObject(index, OtherObject{});
            break;
    }
}

void EmfPlayer::selectObject(RecordData& data) {
    const uint32_t index = data.u32();
    if ((index & kStockObject) != 0) {
        canvas_.select(stockObject(index & ~kStockObject));
    } else {
        canvas_.selectObject(handle(index));
    }
}

void EmfPlayer::pathRecord(uint32_t type, RecordData& data) {
    switch (type) {
        case kBeginPath:
            canvas_.beginPath();
            break;
        case kEndPath:
            canvas_.endPath();
            break;
        case kAbortPath:
            canvas_.beginPath();
            canvas_.endPath();
            break;
        case kCloseFigure:
            canvas_.closeFigure();
            break;
        case kFillPath:
            canvas_.drawFinishedPath(true, false);
            break;
        case kStrokeAndFillPath:
            canvas_.drawFinishedPath(true, true);
            break;
        case kStrokePath:
            canvas_.drawFinishedPath(false, true);
            break;
        default:  // select clip path
            canvas_.clipToFinishedPath(static_cast<int>(data.u32()));
            break;
    }
}

void EmfPlayer::polyRecord(uint32_t type, RecordData& data) {
    const bool small = type >= kPolyBezier16;
    data.skip(16);  // bounds
    const qint64 count = data.u32();
    const QPolygonF polygon = points(data, count, small);
    switch (small ? type - (kPolyBezier16 - kPolyBezier) : type) {
        case kPolyBezier:
            canvas_.bezier(polygon, false);
            break;
        case kPolygon:
            canvas_.polygons({polygon});
            break;
        case kPolyline:
            canvas_.polyline(polygon);
            break;
        case kPolyBezierTo:
            canvas_.bezier(polygon, true);
            break;
        default:
            canvas_.polylineTo(polygon);
            break;
    }
}

void EmfPlayer::polyPolyRecord(uint32_t type, RecordData& data) {
    const bool small = type >= kPolyPolyline16;
    data.skip(16);  // bounds
    const qint64 polygonCount = data.u32();
    const qint64 pointCount = data.u32();
    if (polygonCount > data.remaining() / 4) {
        data.throwShort();
    }
    std::vector<qint64> counts;
    counts.reserve(static_cast<size_t>(polygonCount));
    qint64 total = 0;
    for (qint64 i = 0; i < polygonCount; ++i) {
        counts.push_back(data.u32());
        total += counts.back();
    }
    if (total != pointCount) {
        throwDamaged(kEmf, "a polygon record's point counts do not add up");
    }
    std::vector<QPolygonF> polygons;
    polygons.reserve(counts.size());
    for (const qint64 count : counts) {
        polygons.push_back(points(data, count, small));
    }
    if (type == kPolyPolygon || type == kPolyPolygon16) {
        canvas_.polygons(polygons);
    } else {
        for (const QPolygonF& line : polygons) {
            canvas_.polyline(line);
        }
    }
}

}  // namespace formats::metafile::emf
