#include "formats/readers/autodesk_reader.h"
#include "formats/readers/format_readers.h"

#include "formats/byte_reader.h"

// The animator's still pictures: a 32-byte header, a palette of 256 colours with 6-bit values,
// then one index byte per pixel, row by row from the top.

namespace formats {
namespace {

const char* const kName = "CEL";
constexpr int kHeaderSize = 32;
constexpr uint16_t kMagic = 0x9119;

uint8_t expand6(uint8_t value) {
    return static_cast<uint8_t>((value << 2) | (value >> 4));
}

}  // namespace

QImage readAutodesk(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < kHeaderSize || in.le16() != kMagic) {
        throwInvalidFormat(kName);
    }
    const int width = in.le16();
    const int height = in.le16();
    in.skip(4);  // position on screen
    const int bits = in.u8();
    const int compression = in.u8();
    if (bits != 8) {
        throwInvalidColourFormat(kName);
    }
    if (compression != 0) {
        throwUnsupported("Compressed pictures are", kName);
    }
    checkPictureSize(width, height, kName);
    in.seek(kHeaderSize);
    const uint8_t* palette = in.take(256 * 3);
    for (int i = 0; i < 256 * 3; ++i) {
        if (palette[i] > 63) {
            throwInvalidPalette(kName);
        }
    }
    in.expectAtLeast(qint64{width} * height);
    QImage picture = newPicture(width, height, kName);
    for (int y = 0; y < height; ++y) {
        const uint8_t* indices = in.take(width);
        for (int x = 0; x < width; ++x) {
            const uint8_t* colour = palette + 3 * indices[x];
            putPixel(picture, x, y, expand6(colour[0]), expand6(colour[1]), expand6(colour[2]));
        }
    }
    return picture;
}

}  // namespace formats
