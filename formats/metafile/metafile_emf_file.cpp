// The enhanced metafile as a file: a header record with the picture's frame and the reference
// device, then the records up to the end-of-file record.
#include <QString>
#include <cmath>
#include <cstdint>

#include "formats/byte_reader.h"
#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_emf_player.h"
#include "formats/metafile/metafile_emf_records.h"
#include "formats/metafile/metafile_players.h"
#include "formats/metafile/metafile_record_skipper.h"
#include "formats/picture_limits.h"

namespace formats::metafile {
namespace emf {

GdiObject stockObject(uint32_t which) {
    BrushSpec brush;
    PenSpec pen;
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
            return FontSpec{};
        default:
            return OtherObject{};
    }
}

namespace {

constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr qint64 kMinimumHeaderSize = 88;
constexpr double kPixelsPerInch = 96;

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

}  // namespace
}  // namespace emf

QImage playEnhancedMetafile(const QByteArray& data) {
    using namespace emf;
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
        emf::EmfPlayer player(canvas, deviceToPicture);
        RecordSkipper skipper;
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
                skipper.play([&] { player.play(type, parameters); }, [] {});
            }
            first = false;
            at += size;
        }
        skipper.finish(canvas);
    }
    return picture.convertToFormat(QImage::Format_BGR888);
}

}  // namespace formats::metafile
