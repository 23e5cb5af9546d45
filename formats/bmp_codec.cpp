#include "formats/bmp_codec.h"

#include <cstdint>
#include <cstring>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;  // BI_RGB

void putLittle16(uchar* at, uint32_t value) {
    at[0] = static_cast<uchar>(value);
    at[1] = static_cast<uchar>(value >> 8);
}

void putLittle32(uchar* at, uint32_t value) {
    putLittle16(at, value);
    putLittle16(at + 2, value >> 16);
}

qint64 paddedRowBytes(qint64 width, qint64 bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
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
    return readBmp(data);
}

}  // namespace formats
