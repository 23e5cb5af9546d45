#include "formats/metafile/metafile_wmf_player.h"

#include <optional>
#include <vector>

#include "formats/metafile/metafile_bitmap16.h"
#include "formats/metafile/metafile_common_records.h"
#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_wmf_records.h"

namespace formats::metafile::wmf {
namespace {

std::optional<CommonRecord> commonRecordOf(uint16_t function) {
    switch (function) {
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
        case kSetWindowOrg:
            return CommonRecord::WindowOrg;
        case kSetWindowExt:
            return CommonRecord::WindowExt;
        case kSetViewportOrg:
            return CommonRecord::ViewportOrg;
        case kSetViewportExt:
            return CommonRecord::ViewportExt;
        case kScaleWindowExt:
            return CommonRecord::ScaleWindowExt;
        case kScaleViewportExt:
            return CommonRecord::ScaleViewportExt;
        case kIntersectClipRect:
            return CommonRecord::IntersectClip;
        case kExcludeClipRect:
            return CommonRecord::ExcludeClip;
        case kOffsetClipRgn:
            return CommonRecord::OffsetClip;
        case kMoveTo:
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
        case kSetPixel:
            return CommonRecord::SetPixel;
        default:
            return std::nullopt;
    }
}

// A region object: scans of equal height, each a row of left and right edges.
RegionSpec readRegion(RecordData& data) {
    data.skip(2 + 2 + 4 + 2);  // next in chain, object type and count, region size
    const uint16_t scans = data.u16();
    data.skip(2 + 8);  // longest scan, bounding box
    RegionSpec region;
    for (uint16_t scan = 0; scan < scans; ++scan) {
        const uint16_t edges = data.u16();
        const int16_t top = data.s16();
        const int16_t bottom = data.s16();
        if (edges % 2 != 0 || edges > data.remaining() / 2) {
            throwDamaged(kWmf, "a region's scan is damaged");
        }
        for (uint16_t i = 0; i < edges; i += 2) {
            const int16_t left = data.s16();
            const int16_t right = data.s16();
            region.rects.emplace_back(QPointF(left, top), QPointF(right, bottom));
        }
        data.skip(2);  // the edge count again
    }
    return region;
}

}  // namespace

void WmfPlayer::play(uint16_t function, RecordData& data) {
    if (const auto common = commonRecordOf(function)) {
        Arguments arguments(data, false);
        playCommonRecord(*common, arguments, canvas_);
        return;
    }
    auto& state = canvas_.state();
    switch (function) {
        case kOffsetWindowOrg:
            canvas_.setWindowOrg(state.windowOrg + pointYx(data));
            break;
        case kOffsetViewportOrg:
            canvas_.setViewportOrg(state.viewportOrg + pointYx(data));
            break;
        case kCreatePenIndirect:
            canvas_.addObject(readPen(data, false));
            break;
        case kCreateBrushIndirect:
            canvas_.addObject(readBrush(data, false));
            break;
        case kDibCreatePatternBrush:
            data.skip(4);  // style, colour usage
            canvas_.addObject(makePatternBrush(
                decodePackedDib(data.sub(data.position(), data.remaining())).image));
            break;
        case kCreateFontIndirect:
            canvas_.addObject(readFont(data, false));
            break;
        case kCreateRegion:
            canvas_.addObject(readRegion(data));
            break;
        case kCreatePalette:
        case kCreatePatternBrush:
            canvas_.addObject(OtherObject{});
            break;
        case kSelectObject:
            canvas_.selectObject(data.u16());
            break;
        case kDeleteObject:
            canvas_.deleteObject(data.u16());
            break;
        case kSelectClipRegion:
            // A region replaces the clip; anything else (none, too) lifts it.
            if (const auto* region = regionAt(data.u16())) {
                canvas_.setClip(pictureRegionOf(canvas_.logicalToPicture(), region->rects, kWmf));
            } else {
                canvas_.setClip(std::nullopt);
            }
            break;
        case kFillRegion:
        case kPaintRegion:
        case kInvertRegion:
        case kFrameRegion:
            regionRecord(function, data);
            break;
        case kPolyline:
        case kPolygon: {
            const qint64 count = data.s16();
            const QPolygonF polygon = points16(data, count);
            if (function == kPolyline) {
                canvas_.polyline(polygon);
            } else {
                canvas_.polygons({polygon});
            }
            break;
        }
        case kPolyPolygon:
            polyPolygon(data);
            break;
        case kPatBlt: {
            const uint32_t rasterOp = data.u32();
            const int16_t height = data.s16();
            const int16_t width = data.s16();
            const QPointF at = pointYx(data);
            canvas_.patternFill(QRectF(at, QSizeF(width, height)), rasterOp);
            break;
        }
        case kBitBlt:
        case kStretchBlt:
        case kDibBitBlt:
        case kDibStretchBlt:
        case kStretchDib:
        case kSetDibToDev:
            bitmap(function, data);
            break;
        case kTextOut:
            text(data, false);
            break;
        case kExtTextOut:
            text(data, true);
            break;
        default:
            break;  // records that do not draw, or that we do not draw
    }
}

const RegionSpec* WmfPlayer::regionAt(qint64 index) const {
    if (index == 0 && canvas_.objectTableSize() == 0) {
        return nullptr;  // no region selected
    }
    const auto& slot = canvas_.object(index);
    return slot ? std::get_if<RegionSpec>(&*slot) : nullptr;
}

const BrushSpec& WmfPlayer::brushAt(qint64 index) const {
    const auto& slot = canvas_.object(index);
    const BrushSpec* brush = slot ? std::get_if<BrushSpec>(&*slot) : nullptr;
    if (brush == nullptr) {
        throwDamaged(kWmf, "a region record names an object that is not a brush");
    }
    return *brush;
}

// Region, then brush, then the frame's height and width, as the records store them.
void WmfPlayer::regionRecord(uint16_t function, RecordData& data) {
    const RegionSpec* region = regionAt(data.u16());
    if (region == nullptr) {
        throwDamaged(kWmf, "a region record names an object that is not a region");
    }
    const QRegion pixels = pictureRegionOf(canvas_.logicalToPicture(), region->rects, kWmf);
    switch (function) {
        case kPaintRegion:
            canvas_.fillRegion(pixels, canvas_.state().brush);
            break;
        case kInvertRegion:
            canvas_.invertRegion(pixels);
            break;
        case kFillRegion:
            canvas_.fillRegion(pixels, brushAt(data.u16()));
            break;
        default: {
            const BrushSpec& brush = brushAt(data.u16());
            const int16_t height = data.s16();
            const int16_t width = data.s16();
            canvas_.frameRegion(pixels, brush, QSizeF(width, height));
            break;
        }
    }
}

void WmfPlayer::polyPolygon(RecordData& data) {
    const uint16_t polygonCount = data.u16();
    if (qint64{polygonCount} * 2 > data.remaining()) {
        data.throwShort();
    }
    std::vector<qint64> counts;
    counts.reserve(polygonCount);
    for (uint16_t i = 0; i < polygonCount; ++i) {
        counts.push_back(data.u16());
    }
    std::vector<QPolygonF> polygons;
    polygons.reserve(polygonCount);
    for (const qint64 count : counts) {
        polygons.push_back(points16(data, count));
    }
    canvas_.polygons(polygons);
}

void WmfPlayer::bitmap(uint16_t function, RecordData& data) {
    // The blits exist with and without a bitmap: without one their parameters end after
    // the destination, with one word more before it.
    const bool bitBlt = function == kDibBitBlt || function == kBitBlt;
    const qint64 wordsWithoutBitmap = bitBlt ? 9 : 11;
    const bool hasBitmap = function == kStretchDib || function == kSetDibToDev ||
                           data.size() != wordsWithoutBitmap * 2;
    uint32_t rasterOp = 0x00CC0020;  // copy
    QRectF source;
    QRectF target;
    bool sourceFromBottom = false;
    if (function == kSetDibToDev) {
        data.skip(2);  // colour usage
        data.skip(4);  // scan count, first scan: the rows are all there
        const QPointF sourceAt = pointYx(data);
        const int16_t height = data.s16();
        const int16_t width = data.s16();
        const QPointF targetAt = pointYx(data);
        source = QRectF(sourceAt, QSizeF(width, height));
        target = QRectF(targetAt, QSizeF(width, height));
        sourceFromBottom = true;
    } else {
        rasterOp = data.u32();
        if (function == kStretchDib) {
            data.skip(2);  // colour usage
        }
        QSizeF sourceSize;
        if (!bitBlt) {
            const int16_t height = data.s16();
            const int16_t width = data.s16();
            sourceSize = QSizeF(width, height);
        }
        const QPointF sourceAt = pointYx(data);
        if (!hasBitmap) {
            data.skip(2);
        }
        const int16_t height = data.s16();
        const int16_t width = data.s16();
        const QPointF targetAt = pointYx(data);
        if (bitBlt) {
            sourceSize = QSizeF(width, height);
        }
        source = QRectF(sourceAt, sourceSize);
        target = QRectF(targetAt, QSizeF(width, height));
        sourceFromBottom = function == kStretchDib;
    }
    if (!hasBitmap) {
        canvas_.patternFill(target, rasterOp);
        return;
    }
    const RecordData bitmap = data.sub(data.position(), data.remaining());
    if (function == kBitBlt || function == kStretchBlt) {
        const auto& state = canvas_.state();
        canvas_.dib(target, decodeBitmap16(bitmap, state.textColour, state.backgroundColour),
                    source, false, rasterOp);
    } else {
        canvas_.dib(target, decodePackedDib(bitmap), source, sourceFromBottom, rasterOp);
    }
}

void WmfPlayer::text(RecordData& data, bool extended) {
    QPointF at;
    QString string;
    uint32_t options = 0;
    std::optional<QRectF> rect;
    std::vector<double> advances;
    if (extended) {
        at = pointYx(data);
        const int16_t length = data.s16();
        options = data.u16();
        if ((options & (kTextOpaque | kTextClipped)) != 0) {
            const int16_t left = data.s16();
            const int16_t top = data.s16();
            const int16_t right = data.s16();
            const int16_t bottom = data.s16();
            rect = QRectF(QPointF(left, top), QPointF(right, bottom));
        }
        if (length < 0) {
            throwDamaged(kWmf, "a text record has a negative length");
        }
        string = string8(data, length);
        if (length % 2 != 0 && data.remaining() > 0) {
            data.skip(1);
        }
        if (data.remaining() >= qint64{length} * 2) {
            for (int16_t i = 0; i < length; ++i) {
                advances.push_back(data.s16());
            }
        }
    } else {
        const int16_t length = data.s16();
        if (length < 0) {
            throwDamaged(kWmf, "a text record has a negative length");
        }
        string = string8(data, length);
        if (length % 2 != 0) {
            data.skip(1);
        }
        at = pointYx(data);
    }
    canvas_.text(at, string, advances, options, rect);
}

}  // namespace formats::metafile::wmf
