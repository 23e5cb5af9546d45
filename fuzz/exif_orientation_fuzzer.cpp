// Fuzz target: an EXIF block of any bytes gives an orientation 1..8, and a small picture turned
// by it keeps its pixels and has its sides swapped exactly for 5..8.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "formats/photo/exif_orientation.h"
#include "formats/photo/picture_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int orientation = formats::exifOrientation(bytes);
    if (orientation < 1 || orientation > 8) {
        __builtin_trap();
    }
    // The picture's size comes from the input too, so that odd sides and tile edges are met.
    const int width = size > 0 ? 1 + data[0] % 130 : 1;
    const int height = size > 1 ? 1 + data[1] % 70 : 1;
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width * 3; ++x) {
            row[x] = static_cast<uchar>(x * 7 + y * 13);
        }
    }
    const QImage upright = formats::orientUpright(picture, orientation);
    const bool swapped = orientation >= 5;
    if (upright.width() != (swapped ? height : width) ||
        upright.height() != (swapped ? width : height)) {
        __builtin_trap();
    }
    // Turning keeps every colour: the sums of all bytes agree.
    auto sum = [](const QImage& p) {
        uint64_t total = 0;
        for (int y = 0; y < p.height(); ++y) {
            for (int x = 0; x < p.width() * 3; ++x) {
                total += p.constScanLine(y)[x];
            }
        }
        return total;
    };
    if (sum(upright) != sum(picture)) {
        __builtin_trap();
    }
    return 0;
}
