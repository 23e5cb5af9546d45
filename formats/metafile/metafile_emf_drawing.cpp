// The enhanced metafile's bitmap, text and clip-region records.
#include <QString>
#include <algorithm>
#include <optional>
#include <vector>

#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_emf_player.h"
#include "formats/metafile/metafile_emf_records.h"

namespace formats::metafile::emf {

void EmfPlayer::bitmap(uint32_t type, RecordData& data) {
    data.skip(16);  // bounds
    QRectF target;
    QRectF source;
    uint32_t rasterOp = 0x00CC0020;
    uint32_t infoOffset = 0;
    uint32_t infoSize = 0;
    uint32_t bitsOffset = 0;
    uint32_t bitsSize = 0;
    bool sourceFromBottom = false;
    if (type == kBitBlt || type == kStretchBlt) {
        const QPointF at = point32(data);
        const QPointF size = point32(data);
        target = QRectF(at, QSizeF(size.x(), size.y()));
        rasterOp = data.u32();
        const QPointF sourceAt = point32(data);
        data.skip(24 + 4 + 4);  // source transform, background colour, colour usage
        infoOffset = data.u32();
        infoSize = data.u32();
        bitsOffset = data.u32();
        bitsSize = data.u32();
        QSizeF sourceSize(size.x(), size.y());
        if (type == kStretchBlt) {
            const QPointF stretched = point32(data);
            sourceSize = QSizeF(stretched.x(), stretched.y());
        }
        source = QRectF(sourceAt, sourceSize);
    } else {
        const QPointF at = point32(data);
        const QPointF sourceAt = point32(data);
        const QPointF sourceSize = point32(data);
        source = QRectF(sourceAt, QSizeF(sourceSize.x(), sourceSize.y()));
        infoOffset = data.u32();
        infoSize = data.u32();
        bitsOffset = data.u32();
        bitsSize = data.u32();
        data.skip(4);  // colour usage
        if (type == kStretchDiBits) {
            rasterOp = data.u32();
            const QPointF size = point32(data);
            target = QRectF(at, QSizeF(size.x(), size.y()));
        } else {
            target = QRectF(at, QSizeF(sourceSize.x(), sourceSize.y()));
        }
        sourceFromBottom = true;
    }
    if (infoSize == 0) {
        canvas_.patternFill(target, rasterOp);
        return;
    }
    // Offsets count from the record's start, eight bytes before its parameters.
    canvas_.dib(target,
                decodeDib(data.sub(qint64{infoOffset} - 8, infoSize),
                          data.sub(qint64{bitsOffset} - 8, bitsSize)),
                source, sourceFromBottom, rasterOp);
}

void EmfPlayer::text(RecordData& data, bool wide) {
    constexpr uint32_t kNoRect = 0x100;
    constexpr uint32_t kPairs = 0x2000;  // advances come as x, y pairs
    data.skip(16 + 4 + 4 + 4);           // bounds, graphics mode, scales
    const QPointF reference = point32(data);
    const qint64 characters = data.u32();
    const uint32_t stringOffset = data.u32();
    const uint32_t options = data.u32();
    std::optional<QRectF> rect;
    if ((options & kNoRect) == 0) {
        rect = rect32(data);
    }
    const uint32_t advancesOffset = data.u32();
    const qint64 unitBytes = wide ? 2 : 1;
    if (characters > data.size() / unitBytes) {
        data.throwShort();
    }
    RecordData string = data.sub(qint64{stringOffset} - 8, characters * unitBytes);
    QString text;
    for (qint64 i = 0; i < characters; ++i) {
        text.append(wide ? QChar(string.u16()) : QChar(string.take(1)[0]));
    }
    std::vector<double> advances;
    const qint64 step = (options & kPairs) != 0 ? 8 : 4;
    if (advancesOffset != 0 && characters > 0 && characters <= data.size() / step) {
        RecordData spacing = data.sub(qint64{advancesOffset} - 8, characters * step);
        for (qint64 i = 0; i < characters; ++i) {
            advances.push_back(spacing.s32());
            if (step == 8) {
                spacing.skip(4);
            }
        }
    }
    canvas_.text(reference, text, advances, options, rect);
}

QRegion EmfPlayer::regionData(RecordData& data, qint64 bytes) const {
    RecordData region = data.sub(data.position(), std::min(bytes, data.remaining()));
    region.skip(8);  // header size, type
    const qint64 count = region.u32();
    region.skip(4 + 16);  // size, bounds
    if (count > region.remaining() / 16) {
        region.throwShort();
    }
    // The rectangles are in device units.
    std::vector<QRectF> rects;
    rects.reserve(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        rects.push_back(rect32(region));
    }
    return pictureRegionOf(deviceToPicture_, rects, kEmf);
}

void EmfPlayer::clipRegion(RecordData& data) {
    const uint32_t regionBytes = data.u32();
    const int mode = static_cast<int>(data.u32());
    constexpr int kCopy = 5;
    if (regionBytes == 0 || data.remaining() < 32) {
        if (mode == kCopy) {
            canvas_.setClip(std::nullopt);
        }
        return;
    }
    canvas_.combineClip(regionData(data, regionBytes), mode);
}

BrushSpec EmfPlayer::brushAt(uint32_t index) const {
    constexpr uint32_t kStockObject = 0x80000000;
    if ((index & kStockObject) != 0) {
        const GdiObject stock = stockObject(index & ~kStockObject);
        if (const auto* brush = std::get_if<BrushSpec>(&stock)) {
            return *brush;
        }
    } else if (const auto& slot = canvas_.object(handle(index))) {
        if (const auto* brush = std::get_if<BrushSpec>(&*slot)) {
            return *brush;
        }
    }
    throwDamaged(kEmf, "a region record names an object that is not a brush");
}

void EmfPlayer::regionRecord(uint32_t type, RecordData& data) {
    data.skip(16);  // bounds
    const qint64 regionBytes = data.u32();
    switch (type) {
        case kFillRgn: {
            const BrushSpec brush = brushAt(data.u32());
            canvas_.fillRegion(regionData(data, regionBytes), brush);
            break;
        }
        case kFrameRgn: {
            const BrushSpec brush = brushAt(data.u32());
            const int32_t width = data.s32();
            const int32_t height = data.s32();
            canvas_.frameRegion(regionData(data, regionBytes), brush, QSizeF(width, height));
            break;
        }
        case kInvertRgn:
            canvas_.invertRegion(regionData(data, regionBytes));
            break;
        default:
            canvas_.fillRegion(regionData(data, regionBytes), canvas_.state().brush);
            break;
    }
}

}  // namespace formats::metafile::emf
