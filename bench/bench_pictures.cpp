#include "bench/bench_pictures.h"

#include <cstdint>

namespace bench {

QImage photograph() {
    QImage picture(kPhotoWidth, kPhotoHeight, QImage::Format_BGR888);
    uint32_t state = 12345;
    for (int row = 0; row < kPhotoHeight; ++row) {
        uchar* line = picture.scanLine(row);
        for (int i = 0; i < 3 * kPhotoWidth; ++i) {
            state = state * 1664525u + 1013904223u;
            line[i] = static_cast<uchar>((i / 3 + row) / 4 + (state >> 28));
        }
    }
    return picture;
}

}  // namespace bench
