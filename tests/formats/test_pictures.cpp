#include "test_pictures.h"

#include <gtest/gtest.h>
#include <QFile>

#include "formats/format_error.h"

#include <cstdio>
#include <cstdlib>

namespace formats_test {

QImage makeTestPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool edge = (x / 8 + y / 8) % 2 == 0;
            row[3 * x] = static_cast<uchar>(x * 255 / std::max(1, width - 1));
            row[3 * x + 1] = static_cast<uchar>(y * 255 / std::max(1, height - 1));
            row[3 * x + 2] = static_cast<uchar>(edge ? 160 : 100);
        }
    }
    return picture;
}

Difference compare(const QImage& a, const QImage& b) {
    Difference result;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* rowA = a.constScanLine(y);
        const uchar* rowB = b.constScanLine(y);
        for (int i = 0; i < a.width() * 3; ++i) {
            const int d = std::abs(rowA[i] - rowB[i]);
            sum += d;
            result.largest = std::max(result.largest, d);
        }
    }
    result.mean = sum / (static_cast<double>(a.width()) * a.height() * 3);
    return result;
}

QByteArray writeWithLibjpeg(int width, int height, J_COLOR_SPACE colourSpace, int components,
                            const std::vector<uint8_t>& samples,
                            const std::function<void(jpeg_compress_struct&)>& adjust) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);  // test input is valid: libjpeg's exit is fine here
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = colourSpace;
    jpeg_set_defaults(&info);
    adjust(info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPLE*>(samples.data() + static_cast<size_t>(info.next_scanline) *
                                                              width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray result(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return result;
}

std::vector<Segment> segmentsBeforeScan(const QByteArray& jpeg) {
    std::vector<Segment> segments;
    const auto* bytes = reinterpret_cast<const uint8_t*>(jpeg.constData());
    qsizetype at = 2;  // after SOI
    while (at + 4 <= jpeg.size() && bytes[at] == 0xFF) {
        const uint8_t marker = bytes[at + 1];
        const int length = (bytes[at + 2] << 8) | bytes[at + 3];
        segments.push_back({marker, jpeg.mid(at + 4, length - 2)});
        if (marker == 0xDA) {
            break;
        }
        at += 2 + length;
    }
    return segments;
}

QString dataFile(const char* name) {
    return QStringLiteral(MUGWARP_TEST_DATA "/formats/") + QString::fromLatin1(name);
}

QByteArray readData(const char* name) {
    QFile file(dataFile(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

Rgb rgbAt(const QImage& picture, int x, int y) {
    const uchar* at = picture.constScanLine(y) + 3 * x;
    return {at[2], at[1], at[0]};
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int value : values) {
        result.append(static_cast<char>(value));
    }
    return result;
}

void putLittle32(QByteArray& data, qsizetype at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        data[at + i] = static_cast<char>(value >> (8 * i));
    }
}

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const formats::FormatError& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace formats_test
