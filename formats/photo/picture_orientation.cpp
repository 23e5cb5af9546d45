#include "formats/photo/picture_orientation.h"

#include <algorithm>
#include <cstring>

#include "formats/format_error.h"
#include "formats/photo/row_bands.h"

namespace formats {
namespace {

// Columns are turned 64 at a time: within a band of rows, one tile of the source and the 64
// target rows it lands in stay in the cache while its pixels cross over.
constexpr int kTile = 64;

void copyPixel(const uchar* from, uchar* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// 2, 3 and 4 keep the size: rows are mirrored and/or land in reverse order.
void mirrorOrFlipRows(const QImage& stored, uchar* target, qsizetype targetStride, int orientation,
                      int first, int last) {
    const int w = stored.width();
    const int h = stored.height();
    const bool mirror = orientation != 4;
    const bool flip = orientation != 2;
    for (int y = first; y < last; ++y) {
        const uchar* in = stored.constScanLine(y);
        uchar* out = target + (flip ? h - 1 - y : y) * targetStride;
        if (!mirror) {
            std::memcpy(out, in, static_cast<size_t>(w) * 3);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            copyPixel(in + 3 * (w - 1 - x), out + 3 * x);
        }
    }
}

// 5..8 swap the sides; the pixels of a source row go down one target column:
// 5 transpose (y, x), 6 a quarter clockwise (h-1-y, x), 7 transverse (h-1-y, w-1-x),
// 8 a quarter anticlockwise (y, w-1-x), as (target column, target row).
void turnRows(const QImage& stored, uchar* target, qsizetype targetStride, int orientation,
              int first, int last) {
    const int w = stored.width();
    const int h = stored.height();
    const bool fromRight = orientation == 6 || orientation == 7;  // column counts from the right
    const bool upwards = orientation == 7 || orientation == 8;    // row counts from the bottom
    const qsizetype step = upwards ? -targetStride : targetStride;
    for (int tileX = 0; tileX < w; tileX += kTile) {
        const int endX = std::min(w, tileX + kTile);
        const int firstTargetRow = upwards ? w - 1 - tileX : tileX;
        for (int y = first; y < last; ++y) {
            const uchar* in = stored.constScanLine(y) + 3 * tileX;
            const int column = fromRight ? h - 1 - y : y;
            uchar* out = target + firstTargetRow * targetStride + 3 * column;
            for (int x = tileX; x < endX; ++x, in += 3, out += step) {
                copyPixel(in, out);
            }
        }
    }
}

}  // namespace

QImage uprightCanvas(const QImage& stored, int orientation) {
    const bool swapped = orientation >= 5 && orientation <= 8;
    QImage upright(swapped ? stored.height() : stored.width(),
                   swapped ? stored.width() : stored.height(), QImage::Format_BGR888);
    if (upright.isNull()) {
        throw FormatError("Not enough memory to turn the picture upright.");
    }
    return upright;
}

void placeUpright(const QImage& stored, QImage& upright, int orientation, int first, int last) {
    // constBits() does not detach: the caller owns `upright` and every band writes its own.
    uchar* target = const_cast<uchar*>(upright.constBits());
    const qsizetype stride = upright.bytesPerLine();
    first = std::max(first, 0);
    last = std::min(last, stored.height());
    if (orientation >= 2 && orientation <= 4) {
        mirrorOrFlipRows(stored, target, stride, orientation, first, last);
    } else if (orientation >= 5 && orientation <= 8) {
        turnRows(stored, target, stride, orientation, first, last);
    }
}

QImage orientUpright(QImage picture, int orientation) {
    if (orientation < 2 || orientation > 8 || picture.isNull()) {
        return picture;
    }
    if (picture.format() != QImage::Format_BGR888) {
        picture = picture.convertToFormat(QImage::Format_BGR888);
        if (picture.isNull()) {
            throw FormatError("Not enough memory to turn the picture upright.");
        }
    }
    QImage upright = uprightCanvas(picture, orientation);
    upright.bits();  // detached before the threads share it
    forEachRowBand(picture.height(), [&](int first, int last) {
        placeUpright(picture, upright, orientation, first, last);
    });
    return upright;
}

}  // namespace formats
