// Pictures and JPEG files made for the format tests.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace formats_test {

// A Format_BGR888 picture with smooth gradients and a few hard edges, so that both the codecs'
// exactness and their handling of detail show.
QImage makeTestPicture(int width, int height);

// Mean and largest absolute difference over all bytes of two Format_BGR888 pictures.
struct Difference {
    double mean = 0;
    int largest = 0;
};
Difference compare(const QImage& a, const QImage& b);

// Writes a JPEG with libjpeg itself, samples row by row with `components` bytes per pixel in
// `colourSpace`. `adjust` runs after jpeg_set_defaults() and may change any setting.
QByteArray writeWithLibjpeg(int width, int height, J_COLOR_SPACE colourSpace, int components,
                            const std::vector<uint8_t>& samples,
                            const std::function<void(jpeg_compress_struct&)>& adjust);

// The markers of a JPEG stream up to the start of scan: code and payload (without length).
struct Segment {
    uint8_t marker;
    QByteArray payload;
};
std::vector<Segment> segmentsBeforeScan(const QByteArray& jpeg);

QString dataFile(const char* name);

}  // namespace formats_test
