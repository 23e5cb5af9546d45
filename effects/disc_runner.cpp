#include "effects/disc_runner.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace effects::detail {

void checkDiscArguments(const QImage& picture, int strength, const char* operation) {
    if (strength < 1) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the strength must be at least 1 picture pixel, not " +
                                    std::to_string(strength));
    }
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the picture must be in Format_BGR888");
    }
}

Box clippedSquare(int64_t x, int64_t y, int64_t reach, int width, int height) {
    Box box;
    if (reach < 0 || width <= 0 || height <= 0) {
        return box;
    }
    const int64_t left = std::max<int64_t>(x - reach, 0);
    const int64_t right = std::min<int64_t>(x + reach, width - 1);
    const int64_t top = std::max<int64_t>(y - reach, 0);
    const int64_t bottom = std::min<int64_t>(y + reach, height - 1);
    if (left > right || top > bottom) {
        return box;
    }
    box.left = static_cast<int>(left);
    box.right = static_cast<int>(right);
    box.top = static_cast<int>(top);
    box.bottom = static_cast<int>(bottom);
    return box;
}

BoxBuffer::BoxBuffer(const QImage& picture, const Box& box) : box_(box) {
    if (box_.empty()) {
        return;
    }
    stride_ = static_cast<qsizetype>(box_.right - box_.left + 1) * 3;
    const qsizetype rows = box_.bottom - box_.top + 1;
    data_.reset(new uchar[stride_ * rows]);  // every byte is copied in below
    for (int r = box_.top; r <= box_.bottom; ++r) {
        std::memcpy(row(r), picture.constScanLine(r) + 3 * box_.left, stride_);
    }
}

void BoxBuffer::commit(QImage& picture) const {
    for (int r = box_.top; r <= box_.bottom; ++r) {
        std::memcpy(picture.scanLine(r) + 3 * box_.left, data_.get() + (r - box_.top) * stride_,
                    stride_);
    }
}

int threadsFor(int64_t pixels) {
    constexpr int64_t kPixelsPerThread = 20000;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::clamp<int64_t>(pixels / kPixelsPerThread, 1, std::min(cores, 8)));
}

}  // namespace effects::detail
