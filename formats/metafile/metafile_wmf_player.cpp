#include "formats/metafile/metafile_wmf_player.h"

#include <optional>
#include <vector>

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
        case kCreatePalette:
        case kCreatePatternBrush:
        case kCreateRegion:
            canvas_.addObject(OtherObject{});
            break;
        case kSelectObject:
            canvas_.selectObject(data.u16());
            break;
        case kDeleteObject:
            canvas_.deleteObject(data.u16());
            break;
        case kSelectClipRegion: {
            // Regions are not kept; selecting one (or none) lifts the clip.
            const uint16_t index = data.u16();
            if (index != 0 && index >= canvas_.objectTableSize()) {
                canvas_.selectObject(index);  // reports the bad index
            }
            canvas_.setClip(std::nullopt);
            break;
        }
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
    const qint64 wordsWithoutBitmap = function == kDibBitBlt ? 9 : 11;
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
        if (function != kDibBitBlt) {
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
        if (function == kDibBitBlt) {
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
    canvas_.dib(target, decodePackedDib(data.sub(data.position(), data.remaining())), source,
                sourceFromBottom, rasterOp);
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
