#include "effects/zone_crop.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace effects {

QImage cropToZone(const QImage& picture, int left, int top, int right, int bottom) {
    if (picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument("cropToZone: the picture must be in Format_BGR888");
    }
    // Compared one by one, so that nothing below can overflow.
    if (left < 1 || top < 1 || right < left || bottom < top || right > picture.width() ||
        bottom > picture.height()) {
        throw std::invalid_argument("cropToZone: the zone " + std::to_string(left) + "," +
                                    std::to_string(top) + " to " + std::to_string(right) + "," +
                                    std::to_string(bottom) + " is not inside the picture of " +
                                    std::to_string(picture.width()) + " x " +
                                    std::to_string(picture.height()) + " pixels");
    }
    const int width = right - left + 1;
    const int height = bottom - top + 1;
    QImage result(width, height, QImage::Format_BGR888);
    if (result.isNull()) {
        throw std::bad_alloc();
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const qsizetype firstByte = static_cast<qsizetype>(left - 1) * 3;
    for (int row = 0; row < height; ++row) {
        std::memcpy(result.scanLine(row), picture.constScanLine(top - 1 + row) + firstByte,
                    rowBytes);
    }
    return result;
}

}  // namespace effects
