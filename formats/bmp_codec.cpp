#include "formats/bmp_codec.h"

#include <QBuffer>
#include <QImageReader>
#include <cstdint>
#include <cstring>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kCoreHeaderSize = 12;
constexpr uint32_t kUncompressed = 0;  // BI_RGB
constexpr uint32_t kBitFields = 3;     // BI_BITFIELDS

const char* const kInvalidBmp = "Cannot load image. Invalid or unexpected BMP image format.";
const char* const kTruncatedBmp = "Stream read error in BMP file.";

void putLittle16(uchar* at, uint32_t value) {
    at[0] = static_cast<uchar>(value);
    at[1] = static_cast<uchar>(value >> 8);
}

void putLittle32(uchar* at, uint32_t value) {
    putLittle16(at, value);
    putLittle16(at + 2, value >> 16);
}

uint32_t little16(const uchar* at) {
    return at[0] | (uint32_t{at[1]} << 8);
}
uint32_t little32(const uchar* at) {
    return little16(at) | (little16(at + 2) << 16);
}

qint64 paddedRowBytes(qint64 width, qint64 bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// What the headers promise, checked before Qt's reader is let loose on the file.
void checkBmpHeader(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    if (size < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') {
        throw FormatError(kInvalidBmp);
    }
    const uint32_t pixelOffset = little32(bytes + 10);
    const uint32_t headerSize = little32(bytes + kFileHeaderSize);
    qint64 width = 0;
    qint64 height = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = kUncompressed;
    if (headerSize == kCoreHeaderSize) {
        if (size < kFileHeaderSize + kCoreHeaderSize) {
            throw FormatError(kTruncatedBmp);
        }
        width = little16(bytes + 18);
        height = little16(bytes + 20);
        bitsPerPixel = little16(bytes + 24);
    } else if (headerSize >= kInfoHeaderSize) {
        if (size < kFileHeaderSize + kInfoHeaderSize) {
            throw FormatError(kTruncatedBmp);
        }
        width = static_cast<int32_t>(little32(bytes + 18));
        height = static_cast<int32_t>(little32(bytes + 22));
        if (height < 0) {  // top-down rows
            height = -height;
        }
        bitsPerPixel = little16(bytes + 28);
        compression = little32(bytes + 30);
    } else {
        throw FormatError(kInvalidBmp);
    }
    checkPictureSize(width, height, "BMP");
    const bool plainRows = compression == kUncompressed || compression == kBitFields;
    if (plainRows && bitsPerPixel >= 1 && bitsPerPixel <= 32 &&
        pixelOffset + paddedRowBytes(width, bitsPerPixel) * height > size) {
        // Qt would present the missing rows as part of the picture.
        throw FormatError(kTruncatedBmp);
    }
}

}  // namespace

QByteArray encodeBmp24(const QImage& source) {
    const QImage picture = toPicture24(source);
    if (picture.isNull()) {
        throw FormatError("Cannot save an empty picture as BMP.");
    }
    const qint64 rowBytes = paddedRowBytes(picture.width(), 24);
    const qint64 pixelBytes = rowBytes * picture.height();
    const qint64 fileSize = kFileHeaderSize + kInfoHeaderSize + pixelBytes;
    if (fileSize > UINT32_MAX) {
        throw FormatError("The picture is too large for a BMP file.");
    }
    QByteArray file(fileSize, '\0');
    auto* bytes = reinterpret_cast<uchar*>(file.data());
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLittle32(bytes + 2, static_cast<uint32_t>(fileSize));
    putLittle32(bytes + 10, kFileHeaderSize + kInfoHeaderSize);
    uchar* info = bytes + kFileHeaderSize;
    putLittle32(info, kInfoHeaderSize);
    putLittle32(info + 4, static_cast<uint32_t>(picture.width()));
    putLittle32(info + 8, static_cast<uint32_t>(picture.height()));  // positive: bottom-up
    putLittle16(info + 12, 1);                                       // planes
    putLittle16(info + 14, 24);
    putLittle32(info + 16, kUncompressed);
    putLittle32(info + 20, static_cast<uint32_t>(pixelBytes));
    // Resolution and palette fields stay 0.
    uchar* pixels = info + kInfoHeaderSize;
    const size_t usedBytes = static_cast<size_t>(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y) {
        // Format_BGR888 already holds the bytes in BMP's blue, green, red order.
        std::memcpy(pixels + (picture.height() - 1 - y) * rowBytes, picture.constScanLine(y),
                    usedBytes);
    }
    return file;
}

QImage decodeBmp(const QByteArray& data) {
    checkBmpHeader(data);
    // Qt's default allocation limit (256 MB) is below what a 32-bit BMP of the largest size we
    // accept needs; our own header check above is the limit that counts.
    if (QImageReader::allocationLimit() < 512) {
        QImageReader::setAllocationLimit(512);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        throw FormatError(kInvalidBmp);
    }
    return toPicture24(picture);
}

}  // namespace formats
