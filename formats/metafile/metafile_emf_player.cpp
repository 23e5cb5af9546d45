// The enhanced metafile: a header record with the picture's frame and the reference device,
// then records of a 32-bit type and a 32-bit size in bytes.
#include <QString>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/byte_reader.h"
#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_players.h"
#include "formats/metafile/metafile_record_data.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

using metafile::ArcKind;
using metafile::colourRef;
using metafile::MetafileCanvas;
using metafile::RecordData;
using metafile::throwDamaged;

constexpr const char* kEmf = "EMF";
constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr qint64 kMinimumHeaderSize = 88;
constexpr double kPixelsPerInch = 96;
constexpr uint32_t kStockObject = 0x80000000;

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

QPointF point32(RecordData& data) {
    const int32_t x = data.s32();
    const int32_t y = data.s32();
    return QPointF(x, y);
}

QRectF rect32(RecordData& data) {
    const QPointF topLeft = point32(data);
    const QPointF bottomRight = point32(data);
    return QRectF(topLeft, bottomRight);
}

QPolygonF points(RecordData& data, qint64 count, bool small) {
    if (small) {
        return metafile::points16(data, count);
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

metafile::GdiObject stockObject(uint32_t which) {
    metafile::BrushSpec brush;
    metafile::PenSpec pen;
    switch (which) {
        case 0:  // white brush
            return brush;
        case 1:
            brush.colour = qRgb(192, 192, 192);
            return brush;
        case 2:
            brush.colour = qRgb(128, 128, 128);
            return brush;
        case 3:
            brush.colour = qRgb(64, 64, 64);
            return brush;
        case 4:
        case 18:  // black brush, and the device-context brush, black by default
            brush.colour = qRgb(0, 0, 0);
            return brush;
        case 5:
            brush.style = 1;
            return brush;
        case 6:
            pen.colour = qRgb(255, 255, 255);
            return pen;
        case 7:
        case 19:
            return pen;
        case 8:
            pen.style = 5;
            return pen;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
        case 17:
            return metafile::FontSpec{};
        default:
            return metafile::OtherObject{};
    }
}

struct Header {
    QRectF frame;   // hundredths of a millimetre, inclusive
    QRectF bounds;  // device pixels, inclusive
    QPointF pixelsPerMm;
    qint64 handles = 0;
};

Header readHeader(const QByteArray& bytes) {
    if (bytes.size() < kMinimumHeaderSize) {
        throwInvalidFormat(kEmf);
    }
    RecordData data(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), kEmf);
    const uint32_t type = data.u32();
    const uint32_t size = data.u32();
    Header header;
    header.bounds = rect32(data);
    header.frame = rect32(data);
    const uint32_t signature = data.u32();
    if (type != kHeader || signature != kSignature || size < kMinimumHeaderSize) {
        throwInvalidFormat(kEmf);
    }
    if (size > bytes.size()) {
        throwTruncated(kEmf);
    }
    data.skip(4 + 4 + 4);  // version, bytes, records
    header.handles = data.u16();
    data.skip(2 + 4 + 4 + 4);  // reserved, description, palette entries
    const QPointF devicePixels = point32(data);
    const QPointF deviceMm = point32(data);
    header.pixelsPerMm = QPointF(kPixelsPerInch / 25.4, kPixelsPerInch / 25.4);
    if (devicePixels.x() > 0 && devicePixels.y() > 0 && deviceMm.x() > 0 && deviceMm.y() > 0) {
        header.pixelsPerMm =
            QPointF(devicePixels.x() / deviceMm.x(), devicePixels.y() / deviceMm.y());
    }
    return header;
}

class EmfPlayer {
public:
    EmfPlayer(MetafileCanvas& canvas, QTransform deviceToPicture)
        : canvas_(canvas), deviceToPicture_(deviceToPicture) {}

    void play(uint32_t type, RecordData& data);

private:
    void polyRecord(uint32_t type, RecordData& data);
    void polyPolyRecord(uint32_t type, RecordData& data);
    void bitmap(uint32_t type, RecordData& data);
    void text(RecordData& data, bool wide);
    void clipRegion(RecordData& data);
    qint64 handle(uint32_t index) const;

    MetafileCanvas& canvas_;
    QTransform deviceToPicture_;
};

// Index 0 of the table stands for the metafile itself and is never an object.
qint64 EmfPlayer::handle(uint32_t index) const {
    if (index == 0) {
        throwDamaged(kEmf, "a record uses object 0, which is reserved");
    }
    return index;
}

void EmfPlayer::play(uint32_t type, RecordData& data) {
    auto& state = canvas_.state();
    switch (type) {
        case kSetMapMode:
            canvas_.setMapMode(static_cast<int>(data.u32()));
            break;
        case kSetWindowExtEx:
            canvas_.setWindowExt(point32(data));
            break;
        case kSetWindowOrgEx:
            canvas_.setWindowOrg(point32(data));
            break;
        case kSetViewportExtEx:
            canvas_.setViewportExt(point32(data));
            break;
        case kSetViewportOrgEx:
            canvas_.setViewportOrg(point32(data));
            break;
        case kScaleViewportExtEx:
        case kScaleWindowExtEx: {
            const double xNumerator = data.s32();
            const double xDenominator = data.s32();
            const double yNumerator = data.s32();
            const double yDenominator = data.s32();
            if (type == kScaleWindowExtEx) {
                canvas_.scaleWindowExt(xNumerator, xDenominator, yNumerator, yDenominator);
            } else {
                canvas_.scaleViewportExt(xNumerator, xDenominator, yNumerator, yDenominator);
            }
            break;
        }
        case kSetWorldTransform:
            if (const auto transform = transformOf(data)) {
                state.world = *transform;
            }
            break;
        case kModifyWorldTransform: {
            const auto transform = transformOf(data);
            const uint32_t mode = data.u32();
            if (mode == 1) {
                state.world = QTransform();
            } else if (transform && mode == 2) {
                state.world = *transform * state.world;
            } else if (transform && mode == 3) {
                state.world = state.world * *transform;
            } else if (transform && mode == 4) {
                state.world = *transform;
            }
            break;
        }
        case kSaveDc:
            canvas_.saveState();
            break;
        case kRestoreDc:
            canvas_.restoreState(data.s32());
            break;
        case kSetBkMode:
            canvas_.setBackgroundMode(data.u32());
            break;
        case kSetPolyFillMode:
            canvas_.setPolyFillMode(data.u32());
            break;
        case kSetTextAlign:
            state.textAlign = data.u32();
            break;
        case kSetTextColor:
            state.textColour = colourRef(data);
            break;
        case kSetBkColor:
            state.backgroundColour = colourRef(data);
            break;
        case kSetArcDirection:
            state.clockwiseArcs = data.u32() == 2;
            break;
        case kCreatePen: {
            const qint64 index = handle(data.u32());
            const uint32_t style = data.u32();
            const int32_t width = data.s32();
            data.skip(4);
            canvas_.setObject(index, metafile::makePen(style, width, colourRef(data)));
            break;
        }
        case kExtCreatePen: {
            const qint64 index = handle(data.u32());
            data.skip(16);  // bitmap of a pattern pen
            const uint32_t style = data.u32();
            uint32_t width = data.u32();
            data.skip(4);  // brush style
            if ((style & 0x000F0000) == 0) {
                width = 0;  // a cosmetic pen is one pixel wide
            }
            canvas_.setObject(index, metafile::makePen(style, width, colourRef(data)));
            break;
        }
        case kCreateBrushIndirect: {
            const qint64 index = handle(data.u32());
            const uint32_t style = data.u32();
            const QRgb colour = colourRef(data);
            canvas_.setObject(index, metafile::makeBrush(style, colour, data.u32()));
            break;
        }
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt: {
            const qint64 index = handle(data.u32());
            data.skip(4);  // colour usage
            const uint32_t infoOffset = data.u32();
            const uint32_t infoSize = data.u32();
            const uint32_t bitsOffset = data.u32();
            const uint32_t bitsSize = data.u32();
            // Offsets count from the record's start, eight bytes before its parameters.
            canvas_.setObject(index,
                              metafile::makePatternBrush(
                                  metafile::decodeDib(data.sub(qint64{infoOffset} - 8, infoSize),
                                                      data.sub(qint64{bitsOffset} - 8, bitsSize))
                                      .image));
            break;
        }
        case kExtCreateFontIndirectW: {
            const qint64 index = handle(data.u32());
            canvas_.setObject(index, metafile::readFont(data, true));
            break;
        }
        case kCreatePalette:
            canvas_.setObject(handle(data.u32()), metafile::OtherObject{});
            break;
        case kSelectObject: {
            const uint32_t index = data.u32();
            if ((index & kStockObject) != 0) {
                canvas_.select(stockObject(index & ~kStockObject));
            } else {
                canvas_.selectObject(handle(index));
            }
            break;
        }
        case kDeleteObject:
            canvas_.deleteObject(handle(data.u32()));
            break;
        case kIntersectClipRect:
            canvas_.intersectClip(rect32(data));
            break;
        case kExcludeClipRect:
            canvas_.excludeClip(rect32(data));
            break;
        case kOffsetClipRgn:
            canvas_.offsetClip(point32(data));
            break;
        case kExtSelectClipRgn:
            clipRegion(data);
            break;
        case kMoveToEx:
            canvas_.moveTo(point32(data));
            break;
        case kLineTo:
            canvas_.lineTo(point32(data));
            break;
        case kSetPixelV: {
            const QPointF at = point32(data);
            canvas_.setPixel(at, colourRef(data));
            break;
        }
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
        case kEllipse:
            canvas_.ellipse(rect32(data));
            break;
        case kRectangle:
            canvas_.rectangle(rect32(data));
            break;
        case kRoundRect: {
            const QRectF box = rect32(data);
            const QPointF corner = point32(data);
            canvas_.roundRectangle(box, QSizeF(corner.x(), corner.y()));
            break;
        }
        case kArc:
        case kChord:
        case kPie: {
            const QRectF box = rect32(data);
            const QPointF start = point32(data);
            const QPointF end = point32(data);
            canvas_.arc(box, start, end,
                        type == kArc     ? ArcKind::Arc
                        : type == kChord ? ArcKind::Chord
                                         : ArcKind::Pie);
            break;
        }
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
        case kSelectClipPath:
            canvas_.clipToFinishedPath(static_cast<int>(data.u32()));
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
                metafile::decodeDib(data.sub(qint64{infoOffset} - 8, infoSize),
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
    RecordData region = data.sub(data.position(), std::min<qint64>(regionBytes, data.remaining()));
    region.skip(8);  // header size, type
    const qint64 count = region.u32();
    region.skip(4 + 16);  // size, bounds
    if (count > region.remaining() / 16) {
        region.throwShort();
    }
    // The rectangles are in device units.
    QRegion clip;
    for (qint64 i = 0; i < count; ++i) {
        const QRectF rect = rect32(region);
        clip += metafile::pictureRegionOf(deviceToPicture_, rect);
    }
    canvas_.combineClip(clip, mode);
}

}  // namespace

namespace metafile {

QImage playEnhancedMetafile(const QByteArray& data) {
    const Header header = readHeader(data);
    // The frame in reference-device pixels is what the picture shows; a metafile without a
    // usable frame falls back to its bounds.
    QRectF shown(QPointF(header.frame.left() / 100 * header.pixelsPerMm.x(),
                         header.frame.top() / 100 * header.pixelsPerMm.y()),
                 QPointF((header.frame.right() + 1) / 100 * header.pixelsPerMm.x(),
                         (header.frame.bottom() + 1) / 100 * header.pixelsPerMm.y()));
    qint64 width = std::llround((header.frame.width() + 1) / 2540.0 * kPixelsPerInch);
    qint64 height = std::llround((header.frame.height() + 1) / 2540.0 * kPixelsPerInch);
    if (header.frame.width() < 0 || header.frame.height() < 0) {
        shown = QRectF(header.bounds.topLeft(), header.bounds.bottomRight() + QPointF(1, 1));
        width = std::llround(shown.width());
        height = std::llround(shown.height());
    }
    checkPictureSize(width, height, kEmf);
    if (shown.width() <= 0 || shown.height() <= 0) {
        throwDamaged(kEmf, "its frame is empty");
    }
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (picture.isNull()) {
        throw FormatError("Not enough memory for the EMF picture.");
    }
    picture.fill(Qt::white);
    const QTransform deviceToPicture =
        QTransform::fromTranslate(-shown.left(), -shown.top()) *
        QTransform::fromScale(static_cast<double>(width) / shown.width(),
                              static_cast<double>(height) / shown.height());
    {
        MetafileCanvas canvas(picture, kEmf, deviceToPicture, header.pixelsPerMm);
        canvas.resizeObjectTable(header.handles);
        EmfPlayer player(canvas, deviceToPicture);
        const auto* base = reinterpret_cast<const uint8_t*>(data.constData());
        qint64 at = 0;
        bool first = true;
        while (true) {
            if (data.size() - at < 8) {
                throwTruncated(kEmf);
            }
            RecordData head(base + at, 8, kEmf);
            const uint32_t type = head.u32();
            const qint64 size = head.u32();
            if (size < 8 || size % 4 != 0) {
                throwDamaged(kEmf, "a record has an impossible size");
            }
            if (size > data.size() - at) {
                throwTruncated(kEmf);
            }
            if (type == kEof) {
                break;
            }
            if (!first) {
                RecordData parameters(base + at + 8, size - 8, kEmf);
                player.play(type, parameters);
            }
            first = false;
            at += size;
        }
    }
    return picture.convertToFormat(QImage::Format_BGR888);
}

}  // namespace metafile
}  // namespace formats
