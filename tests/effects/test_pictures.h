// Pictures the effects tests sample from.
#pragma once

#include <QImage>
#include <cstdint>
#include <random>

#include "formats/colour_value.h"

namespace test_pictures {

inline void put(QImage& picture, int col, int row, uint32_t value) {
    uchar* p = picture.scanLine(row) + 3 * col;
    p[0] = colour::blue(value);
    p[1] = colour::green(value);
    p[2] = colour::red(value);
}

inline uint32_t at(const QImage& picture, int col, int row) {
    const uchar* p = picture.constScanLine(row) + 3 * col;
    return colour::make(p[2], p[1], p[0]);
}

// Red tells the column, green the row (both modulo 256): a sampled colour shows where it
// was taken from.
inline QImage coordinates(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            put(picture, col, row, colour::make(col & 0xff, row & 0xff, 77));
        }
    }
    return picture;
}

// Every byte random: any change of a sampling position shows in the blend.
inline QImage noise(int width, int height, uint32_t seed) {
    QImage picture(width, height, QImage::Format_BGR888);
    std::mt19937 random(seed);
    for (int row = 0; row < height; ++row) {
        uchar* line = picture.scanLine(row);
        for (int i = 0; i < 3 * width; ++i) {
            line[i] = static_cast<uchar>(random());
        }
    }
    return picture;
}

inline bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int row = 0; row < a.height(); ++row) {
        for (int col = 0; col < a.width(); ++col) {
            if (at(a, col, row) != at(b, col, row)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace test_pictures
