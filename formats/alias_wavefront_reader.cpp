#include "formats/alias_wavefront_reader.h"
#include "formats/format_readers.h"

#include "formats/byte_reader.h"

// A 10-byte big-endian header (width, height, two offsets, bits per pixel: 24 or 8), then
// runs of a count byte and one pixel: blue, green, red, or one grey byte. Rows go from the
// top; a run may carry on into the next row.

namespace formats {
namespace {

const char* const kName = "PIX";

}  // namespace

QImage readAliasWavefront(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 10) {
        throwInvalidFormat(kName);
    }
    const int width = in.be16();
    const int height = in.be16();
    in.skip(4);
    const int bits = in.be16();
    if (bits != 24 && bits != 8) {
        throwInvalidColourFormat(kName);
    }
    checkPictureSize(width, height, kName);
    const int pixelBytes = bits / 8;
    // A run codes at most 255 pixels.
    in.expectAtLeast((qint64{width} * height + 254) / 255 * (1 + pixelBytes));
    QImage picture = newPicture(width, height, kName);

    int runLeft = 0;
    const uint8_t* pixel = nullptr;
    for (int y = 0; y < height; ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            if (runLeft == 0) {
                runLeft = in.u8();
                pixel = in.take(pixelBytes);
                if (runLeft == 0) {
                    throwCompressionError(kName);
                }
            }
            uchar* out = line + qsizetype{3} * x;
            if (pixelBytes == 3) {
                out[0] = pixel[0];
                out[1] = pixel[1];
                out[2] = pixel[2];
            } else {
                out[0] = out[1] = out[2] = pixel[0];
            }
            --runLeft;
        }
    }
    return picture;
}

}  // namespace formats
