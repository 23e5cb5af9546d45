// The 16-bit Windows metafile as a file: an optional placeable header with the bounding box
// and units per inch, the metafile header, then the records up to the end-of-file record.
#include <QString>
#include <cmath>
#include <cstdint>
#include <optional>

#include "formats/byte_reader.h"
#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_players.h"
#include "formats/metafile/metafile_record_skipper.h"
#include "formats/metafile/metafile_wmf_player.h"
#include "formats/metafile/metafile_wmf_records.h"
#include "formats/picture_limits.h"

namespace formats::metafile {
namespace {

using wmf::kWmf;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qint64 kPlaceableHeaderSize = 22;
constexpr qint64 kHeaderSize = 18;
constexpr double kPixelsPerInch = 96;
// A plain metafile names no unit; office producers write hundredths of a millimetre.
constexpr double kPlainUnitsPerInch = 2540;

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
        if (function == wmf::kEof) {
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
    int mapMode = kMapAnisotropic;
};

PlainWindow scanPlainWindow(const QByteArray& bytes, qint64 start) {
    PlainWindow window;
    bool originSeen = false;
    forEachRecord(bytes, start, [&](uint16_t function, RecordData& data) {
        try {
            if (function == wmf::kSetWindowOrg && !originSeen) {
                window.origin = wmf::pointYx(data);
                originSeen = true;
            } else if (function == wmf::kSetWindowExt && !window.extent) {
                window.extent = wmf::pointYx(data);
            } else if (function == wmf::kSetMapMode) {
                window.mapMode = data.s16();
            }
        } catch (const FormatError&) {
            // A record too short for its point is skipped here as in the playing.
        }
        return !window.extent || !originSeen;
    });
    return window;
}

double unitsPerInchOf(int mapMode) {
    switch (mapMode) {
        case kMapText:
            return kPixelsPerInch;
        case kMapLoMetric:
            return 254;
        case kMapHiMetric:
            return 2540;
        case kMapLoEnglish:
            return 100;
        case kMapHiEnglish:
            return 1000;
        case kMapTwips:
            return 1440;
        default:
            return kPlainUnitsPerInch;
    }
}

}  // namespace

QImage playWindowsMetafile(const QByteArray& data) {
    const Header header = readHeader(data);
    QRectF window;
    int mapMode = kMapAnisotropic;
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
        wmf::WmfPlayer player(canvas);
        RecordSkipper skipper;
        forEachRecord(data, header.recordsStart, [&](uint16_t function, RecordData& record) {
            skipper.play([&] { player.play(function, record); },
                         [&] {
                             // A skipped create record still takes its slot, so that the
                             // records after it find their objects where they expect them.
                             if (wmf::createsObject(function)) {
                                 canvas.addObject(OtherObject{});
                             }
                         });
            return true;
        });
        skipper.finish(canvas);
    }
    return picture.convertToFormat(QImage::Format_BGR888);
}

}  // namespace formats::metafile
