// The 16-bit Windows metafile: an optional placeable header with the bounding box and units
// per inch, the metafile header, then records of a 32-bit size in 16-bit words, a function
// number and 16-bit parameters, stored last argument first.
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

constexpr const char* kWmf = "WMF";
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qint64 kPlaceableHeaderSize = 22;
constexpr qint64 kHeaderSize = 18;
constexpr double kPixelsPerInch = 96;
// A plain metafile names no unit; office producers write hundredths of a millimetre.
constexpr double kPlainUnitsPerInch = 2540;

enum Function : uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kRealizePalette = 0x0035,
    kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetPolyFillMode = 0x0106,
    kRestoreDc = 0x0127,
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
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// A point stored y first, as most WMF records keep their coordinates.
QPointF pointYx(RecordData& data) {
    const int16_t y = data.s16();
    const int16_t x = data.s16();
    return QPointF(x, y);
}

// Bottom, right, top, left.
QRectF rectReversed(RecordData& data) {
    const int16_t bottom = data.s16();
    const int16_t right = data.s16();
    const int16_t top = data.s16();
    const int16_t left = data.s16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// Text in the metafile's 8-bit character set, read as Latin-1.
QString string8(RecordData& data, qint64 length) {
    const uint8_t* bytes = data.take(length);
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes), length);
}

struct Header {
    qint64 recordsStart = 0;
    qint64 objects = 0;
    std::optional<QRectF> boundingBox;  // placeable files only
    double unitsPerInch = 0;
};

Header readHeader(const QByteArray& bytes) {
    RecordData data(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), kWmf);
    if (bytes.size() < kHeaderSize) {
        throwInvalidFormat(kWmf);
    }
    Header header;
    if (data.u32() == kPlaceableKey) {
        if (bytes.size() < kPlaceableHeaderSize + kHeaderSize) {
            throwTruncated(kWmf);
        }
        data.skip(2);  // handle
        const int16_t left = data.s16();
        const int16_t top = data.s16();
        const int16_t right = data.s16();
        const int16_t bottom = data.s16();
        header.unitsPerInch = data.u16();
        if (header.unitsPerInch == 0) {
            throwDamaged(kWmf, "its units per inch are zero");
        }
        header.boundingBox = QRectF(QPointF(left, top), QPointF(right, bottom));
        header.recordsStart = kPlaceableHeaderSize;
    }
    data.seek(header.recordsStart);
    const uint16_t type = data.u16();
    const uint16_t headerWords = data.u16();
    data.skip(2 + 4);  // version, size
    header.objects = data.u16();
    if ((type != 1 && type != 2) || headerWords != kHeaderSize / 2) {
        throwInvalidFormat(kWmf);
    }
    header.recordsStart += kHeaderSize;
    return header;
}

// Walks the records, checking every size, and hands each one to `visit`; stops at the
// end-of-file record. A file that ends before it is cut short.
template <typename Visit>
void forEachRecord(const QByteArray& bytes, qint64 start, Visit&& visit) {
    const auto* base = reinterpret_cast<const uint8_t*>(bytes.constData());
    qint64 at = start;
    while (true) {
        if (bytes.size() - at < 6) {
            throwTruncated(kWmf);
        }
        RecordData head(base + at, 6, kWmf);
        const qint64 bytesInRecord = qint64{head.u32()} * 2;
        const uint16_t function = head.u16();
        if (bytesInRecord < 6) {
            throwDamaged(kWmf, "a record is shorter than its own header");
        }
        if (bytesInRecord > bytes.size() - at) {
            throwTruncated(kWmf);
        }
        if (function == kEof) {
            return;
        }
        RecordData parameters(base + at + 6, bytesInRecord - 6, kWmf);
        if (!visit(function, parameters)) {
            return;
        }
        at += bytesInRecord;
    }
}

// The window that a plain metafile's records set, which gives its size.
struct PlainWindow {
    QPointF origin{0, 0};
    std::optional<QPointF> extent;
    int mapMode = metafile::kMapAnisotropic;
};

PlainWindow scanPlainWindow(const QByteArray& bytes, qint64 start) {
    PlainWindow window;
    bool originSeen = false;
    forEachRecord(bytes, start, [&](uint16_t function, RecordData& data) {
        if (function == kSetWindowOrg && !originSeen) {
            window.origin = pointYx(data);
            originSeen = true;
        } else if (function == kSetWindowExt && !window.extent) {
            window.extent = pointYx(data);
        } else if (function == kSetMapMode) {
            window.mapMode = data.s16();
        }
        return !window.extent || !originSeen;
    });
    return window;
}

double unitsPerInchOf(int mapMode) {
    switch (mapMode) {
        case metafile::kMapText:
            return kPixelsPerInch;
        case metafile::kMapLoMetric:
            return 254;
        case metafile::kMapHiMetric:
            return 2540;
        case metafile::kMapLoEnglish:
            return 100;
        case metafile::kMapHiEnglish:
            return 1000;
        case metafile::kMapTwips:
            return 1440;
        default:
            return kPlainUnitsPerInch;
    }
}

class WmfPlayer {
public:
    WmfPlayer(MetafileCanvas& canvas) : canvas_(canvas) {}

    void play(uint16_t function, RecordData& data);

private:
    void bitmap(uint16_t function, RecordData& data);
    void text(RecordData& data, bool extended);

    MetafileCanvas& canvas_;
};

void WmfPlayer::play(uint16_t function, RecordData& data) {
    auto& state = canvas_.state();
    switch (function) {
        case kSaveDc:
            canvas_.saveState();
            break;
        case kRestoreDc:
            canvas_.restoreState(data.s16());
            break;
        case kSetMapMode:
            canvas_.setMapMode(data.s16());
            break;
        case kSetWindowOrg:
            canvas_.setWindowOrg(pointYx(data));
            break;
        case kSetWindowExt:
            canvas_.setWindowExt(pointYx(data));
            break;
        case kSetViewportOrg:
            canvas_.setViewportOrg(pointYx(data));
            break;
        case kSetViewportExt:
            canvas_.setViewportExt(pointYx(data));
            break;
        case kOffsetWindowOrg:
            canvas_.setWindowOrg(state.windowOrg + pointYx(data));
            break;
        case kOffsetViewportOrg:
            canvas_.setViewportOrg(state.viewportOrg + pointYx(data));
            break;
        case kScaleWindowExt:
        case kScaleViewportExt: {
            const int16_t yDenominator = data.s16();
            const int16_t yNumerator = data.s16();
            const int16_t xDenominator = data.s16();
            const int16_t xNumerator = data.s16();
            if (function == kScaleWindowExt) {
                canvas_.scaleWindowExt(xNumerator, xDenominator, yNumerator, yDenominator);
            } else {
                canvas_.scaleViewportExt(xNumerator, xDenominator, yNumerator, yDenominator);
            }
            break;
        }
        case kSetBkColor:
            state.backgroundColour = colourRef(data);
            break;
        case kSetTextColor:
            state.textColour = colourRef(data);
            break;
        case kSetBkMode:
            canvas_.setBackgroundMode(data.u16());
            break;
        case kSetPolyFillMode:
            canvas_.setPolyFillMode(data.u16());
            break;
        case kSetTextAlign:
            state.textAlign = data.u16();
            break;
        case kCreatePenIndirect: {
            const uint16_t style = data.u16();
            const int16_t width = data.s16();
            data.skip(2);
            canvas_.addObject(metafile::makePen(style, width, colourRef(data)));
            break;
        }
        case kCreateBrushIndirect: {
            const uint16_t style = data.u16();
            const QRgb colour = colourRef(data);
            canvas_.addObject(metafile::makeBrush(style, colour, data.u16()));
            break;
        }
        case kDibCreatePatternBrush:
            data.skip(4);  // style, colour usage
            canvas_.addObject(metafile::makePatternBrush(
                metafile::decodePackedDib(data.sub(data.position(), data.remaining())).image));
            break;
        case kCreateFontIndirect:
            canvas_.addObject(metafile::readFont(data, false));
            break;
        case kCreatePalette:
        case kCreatePatternBrush:
        case kCreateRegion:
            canvas_.addObject(metafile::OtherObject{});
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
        case kIntersectClipRect:
            canvas_.intersectClip(rectReversed(data));
            break;
        case kExcludeClipRect:
            canvas_.excludeClip(rectReversed(data));
            break;
        case kOffsetClipRgn:
            canvas_.offsetClip(pointYx(data));
            break;
        case kMoveTo:
            canvas_.moveTo(pointYx(data));
            break;
        case kLineTo:
            canvas_.lineTo(pointYx(data));
            break;
        case kPolyline:
        case kPolygon: {
            const qint64 count = data.s16();
            const QPolygonF polygon = metafile::points16(data, count);
            if (function == kPolyline) {
                canvas_.polyline(polygon);
            } else {
                canvas_.polygons({polygon});
            }
            break;
        }
        case kPolyPolygon: {
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
                polygons.push_back(metafile::points16(data, count));
            }
            canvas_.polygons(polygons);
            break;
        }
        case kRectangle:
            canvas_.rectangle(rectReversed(data));
            break;
        case kEllipse:
            canvas_.ellipse(rectReversed(data));
            break;
        case kRoundRect: {
            const int16_t height = data.s16();
            const int16_t width = data.s16();
            canvas_.roundRectangle(rectReversed(data), QSizeF(width, height));
            break;
        }
        case kArc:
        case kChord:
        case kPie: {
            const QPointF end = pointYx(data);
            const QPointF start = pointYx(data);
            const QRectF box = rectReversed(data);
            canvas_.arc(box, start, end,
                        function == kArc     ? ArcKind::Arc
                        : function == kChord ? ArcKind::Chord
                                             : ArcKind::Pie);
            break;
        }
        case kSetPixel: {
            const QRgb colour = colourRef(data);
            canvas_.setPixel(pointYx(data), colour);
            break;
        }
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
    canvas_.dib(target, metafile::decodePackedDib(data.sub(data.position(), data.remaining())),
                source, sourceFromBottom, rasterOp);
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
        if ((options & (metafile::kTextOpaque | metafile::kTextClipped)) != 0) {
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

}  // namespace

namespace metafile {

QImage playWindowsMetafile(const QByteArray& data) {
    const Header header = readHeader(data);
    QRectF window;
    int mapMode = metafile::kMapAnisotropic;
    double unitsPerInch = header.unitsPerInch;
    if (header.boundingBox) {
        window = *header.boundingBox;
    } else {
        const PlainWindow plain = scanPlainWindow(data, header.recordsStart);
        if (!plain.extent) {
            throwDamaged(kWmf, "it gives no picture size (no window extent)");
        }
        window = QRectF(plain.origin, QSizeF(plain.extent->x(), plain.extent->y()));
        unitsPerInch = unitsPerInchOf(plain.mapMode);
    }
    const qint64 width = std::llround(std::abs(window.width()) * kPixelsPerInch / unitsPerInch);
    const qint64 height = std::llround(std::abs(window.height()) * kPixelsPerInch / unitsPerInch);
    checkPictureSize(width, height, kWmf);
    // Drawn in 32 bits, where every QPainter operation is available, and turned into our
    // 24-bit picture at the end.
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (picture.isNull()) {
        throw FormatError("Not enough memory for the WMF picture.");
    }
    picture.fill(Qt::white);
    {
        MetafileCanvas canvas(picture, kWmf, QTransform(),
                              QPointF(kPixelsPerInch / 25.4, kPixelsPerInch / 25.4));
        canvas.resizeObjectTable(header.objects);
        // The window spans the picture, as when a program plays the metafile into a rectangle;
        // the metafile's own window records then take its place.
        canvas.setMapMode(mapMode);
        canvas.setWindowOrg(window.topLeft());
        canvas.setWindowExt(QPointF(window.width(), window.height()));
        canvas.setViewportOrg(QPointF(0, 0));
        canvas.setViewportExt(QPointF(static_cast<double>(width), static_cast<double>(height)));
        WmfPlayer player(canvas);
        forEachRecord(data, header.recordsStart, [&](uint16_t function, RecordData& record) {
            player.play(function, record);
            return true;
        });
    }
    return picture.convertToFormat(QImage::Format_BGR888);
}

}  // namespace metafile
}  // namespace formats
