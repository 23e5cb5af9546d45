#include "formats/photo/picture_orientation.h"

#include <algorithm>
#include <cstring>

#include "formats/format_error.h"

namespace formats {
namespace {

// Tiles of 64 x 64 pixels: one source tile and one target tile stay in the cache while their
// pixels cross over, instead of striding a whole column of the target for every source row.
constexpr int kTile = 64;

// Where the source pixel (x, y) of a w x h picture lands in the upright picture.
struct Placement {
    int orientation;
    int w, h;
    void map(int x, int y, int& tx, int& ty) const {
        switch (orientation) {
            case 5:  // transpose
                tx = y;
                ty = x;
                break;
            case 6:  // turn a quarter clockwise
                tx = h - 1 - y;
                ty = x;
                break;
            case 7:  // transverse
                tx = h - 1 - y;
                ty = w - 1 - x;
                break;
            default:  // 8: turn a quarter anticlockwise
                tx = y;
                ty = w - 1 - x;
                break;
        }
    }
};

void copyPixel(const uchar* from, uchar* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// 2, 3 and 4 keep the size: rows are mirrored and/or taken in reverse order.
QImage mirrorOrFlip(const QImage& picture, bool mirror, bool flip) {
    QImage upright(picture.width(), picture.height(), QImage::Format_BGR888);
    if (upright.isNull()) {
        throw FormatError("Not enough memory to turn the picture upright.");
    }
    const int w = picture.width();
    const int h = picture.height();
    for (int y = 0; y < h; ++y) {
        const uchar* in = picture.constScanLine(flip ? h - 1 - y : y);
        uchar* out = upright.scanLine(y);
        if (!mirror) {
            std::memcpy(out, in, static_cast<size_t>(w) * 3);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            copyPixel(in + 3 * (w - 1 - x), out + 3 * x);
        }
    }
    return upright;
}

// 5..8 swap the sides; every pixel moves from a row to a column, one tile at a time.
QImage turn(const QImage& picture, int orientation) {
    const int w = picture.width();
    const int h = picture.height();
    QImage upright(h, w, QImage::Format_BGR888);
    if (upright.isNull()) {
        throw FormatError("Not enough memory to turn the picture upright.");
    }
    const Placement placement{orientation, w, h};
    const qsizetype targetStride = upright.bytesPerLine();
    uchar* target = upright.bits();
    for (int tileY = 0; tileY < h; tileY += kTile) {
        const int endY = std::min(h, tileY + kTile);
        for (int tileX = 0; tileX < w; tileX += kTile) {
            const int endX = std::min(w, tileX + kTile);
            for (int y = tileY; y < endY; ++y) {
                const uchar* in = picture.constScanLine(y);
                int tx = 0;
                int ty = 0;
                placement.map(tileX, y, tx, ty);
                // Along a source row the target moves by one row up or down in one column.
                const qsizetype step =
                    (orientation == 5 || orientation == 6) ? targetStride : -targetStride;
                uchar* out = target + ty * targetStride + 3 * tx;
                for (int x = tileX; x < endX; ++x, out += step) {
                    copyPixel(in + 3 * x, out);
                }
            }
        }
    }
    return upright;
}

}  // namespace

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
    switch (orientation) {
        case 2:
            return mirrorOrFlip(picture, true, false);
        case 3:
            return mirrorOrFlip(picture, true, true);
        case 4:
            return mirrorOrFlip(picture, false, true);
        default:
            return turn(picture, orientation);
    }
}

}  // namespace formats
