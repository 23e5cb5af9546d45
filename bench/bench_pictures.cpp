#include "bench/bench_pictures.h"

#include <cstdint>

namespace bench {

QImage photograph() {
    return photograph(kPhotoWidth, kPhotoHeight, 12345);
}

QImage photograph(int width, int height, uint32_t seed) {
    QImage picture(width, height, QImage::Format_BGR888);
    uint32_t state = seed;
    for (int row = 0; row < height; ++row) {
        uchar* line = picture.scanLine(row);
        for (int i = 0; i < 3 * width; ++i) {
            state = state * 1664525u + 1013904223u;
            line[i] = static_cast<uchar>((i / 3 + row) / 4 + (state >> 28));
        }
    }
    return picture;
}

}  // namespace bench
