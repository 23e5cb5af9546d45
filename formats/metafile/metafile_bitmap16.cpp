#include "formats/metafile/metafile_bitmap16.h"

#include "formats/picture_limits.h"

namespace formats::metafile {
namespace {

constexpr QRgb kStandardColours[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

QRgb pixelAt(const uint8_t* row, int x, int bits, QRgb foreground, QRgb background) {
    switch (bits) {
        case 1:
            return ((row[x / 8] >> (7 - x % 8)) & 1) != 0 ? background : foreground;
        case 4:
            return kStandardColours[(row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F];
        case 8:
            return qRgb(row[x], row[x], row[x]);
        case 16: {
            const unsigned value = row[2 * x] | (row[2 * x + 1] << 8);
            const auto channel = [&](int shift) {
                const unsigned five = (value >> shift) & 0x1F;
                return static_cast<int>((five << 3) | (five >> 2));
            };
            return qRgb(channel(10), channel(5), channel(0));
        }
        default: {
            const uint8_t* at = row + x * (bits / 8);
            return qRgb(at[2], at[1], at[0]);
        }
    }
}

}  // namespace

Dib decodeBitmap16(RecordData data, QRgb foreground, QRgb background) {
    data.skip(2);  // type
    const int16_t width = data.s16();
    const int16_t height = data.s16();
    const int16_t rowBytes = data.s16();
    const uint8_t planes = data.take(1)[0];
    const uint8_t bits = data.take(1)[0];
    if (width <= 0 || height <= 0 || planes != 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        throwDamaged(data.formatName(), "a bitmap has a size or depth that cannot be drawn");
    }
    checkPictureSize(width, height, data.formatName());
    if (rowBytes < (qint64{width} * bits + 7) / 8) {
        throwDamaged(data.formatName(), "a bitmap's rows are shorter than its width");
    }
    const qint64 rowsBytes = qint64{rowBytes} * height;
    // Some writers keep the four bytes of the bitmap's memory address before the rows.
    if (data.remaining() >= rowsBytes + 4) {
        data.skip(4);
    }
    const uint8_t* rows = data.take(rowsBytes);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        throw FormatError(std::string("Not enough memory for the ") + data.formatName() +
                          " picture.");
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rows + qint64{y} * rowBytes;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            out[x] = pixelAt(row, x, bits, foreground, background);
        }
    }
    return Dib{image, false};
}

}  // namespace formats::metafile
