// Pictures and JPEG files made for the format tests.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
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

// The bytes of a file under tests/data/formats; a missing file fails the test.
QByteArray readData(const char* name);

// Red, green and blue of pixel (x, y) of a Format_BGR888 picture.
using Rgb = std::array<int, 3>;
Rgb rgbAt(const QImage& picture, int x, int y);

// Bytes from a list of values 0..255.
QByteArray bytes(std::initializer_list<int> values);

// Writes `value` as four little-endian bytes at `at`.
void putLittle32(QByteArray& data, qsizetype at, uint32_t value);

// The message of the FormatError `action` throws, or "no error".
std::string messageOf(const std::function<void()>& action);

}  // namespace formats_test
