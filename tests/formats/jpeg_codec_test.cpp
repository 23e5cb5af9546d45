// The JPEG writer: what frame files and saved pictures must contain.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "formats/format_error.h"
#include "formats/jpeg_codec.h"
#include "test_pictures.h"

namespace {

using formats_test::Segment;

constexpr std::array<int, 64> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example tables of the JPEG standard, natural order.
constexpr std::array<int, 64> kLuminanceTable = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<int, 64> kChrominanceTable = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The table as libjpeg scales it for quality 90 (scale factor 200 - 2 * 90 = 20 %).
std::array<int, 64> scaledForQuality90(const std::array<int, 64>& table) {
    std::array<int, 64> scaled{};
    for (int i = 0; i < 64; ++i) {
        scaled[i] = std::clamp((table[i] * 20 + 50) / 100, 1, 255);
    }
    return scaled;
}

std::vector<Segment> segmentsWith(const std::vector<Segment>& all, uint8_t marker) {
    std::vector<Segment> found;
    for (const Segment& segment : all) {
        if (segment.marker == marker) {
            found.push_back(segment);
        }
    }
    return found;
}

uint8_t byteAt(const QByteArray& bytes, int at) {
    return static_cast<uint8_t>(bytes[at]);
}

TEST(JpegEncoding, RoundTripStaysCloseToThePicture) {
    for (const QSize size : {QSize(67, 45), QSize(1, 1), QSize(16, 9)}) {
        const QImage picture = formats_test::makeTestPicture(size.width(), size.height());
        const QImage decoded = formats::decodeJpeg(formats::encodeJpeg(picture));
        ASSERT_EQ(decoded.size(), picture.size());
        ASSERT_EQ(decoded.format(), QImage::Format_BGR888);
        const auto difference = formats_test::compare(picture, decoded);
        // Chroma subsampling blurs the steep gradients a little; a swapped channel or a
        // shifted row would cost tens.
        EXPECT_LT(difference.mean, 6.0) << size.width() << "x" << size.height();
        EXPECT_LT(difference.largest, 40) << size.width() << "x" << size.height();
    }
}

TEST(JpegEncoding, StreamIsBaselineJfifWithSubsampledChroma) {
    const QByteArray jpeg = formats::encodeJpeg(formats_test::makeTestPicture(40, 24));
    const auto segments = formats_test::segmentsBeforeScan(jpeg);
    ASSERT_FALSE(segments.empty());

    EXPECT_EQ(segments.front().marker, 0xE0);
    EXPECT_TRUE(segments.front().payload.startsWith(QByteArray("JFIF\0", 5)));
    EXPECT_TRUE(segmentsWith(segments, 0xC2).empty()) << "progressive frame";
    const auto frames = segmentsWith(segments, 0xC0);
    ASSERT_EQ(frames.size(), 1u);
    const QByteArray& frame = frames[0].payload;
    ASSERT_EQ(frame.size(), 6 + 3 * 3);
    EXPECT_EQ(byteAt(frame, 0), 8);  // precision
    EXPECT_EQ((byteAt(frame, 1) << 8) | byteAt(frame, 2), 24);
    EXPECT_EQ((byteAt(frame, 3) << 8) | byteAt(frame, 4), 40);
    EXPECT_EQ(byteAt(frame, 5), 3);
    // Sampling factors and quantisation table of Y, Cb, Cr.
    EXPECT_EQ(byteAt(frame, 7), 0x22);
    EXPECT_EQ(byteAt(frame, 8), 0);
    EXPECT_EQ(byteAt(frame, 10), 0x11);
    EXPECT_EQ(byteAt(frame, 11), 1);
    EXPECT_EQ(byteAt(frame, 13), 0x11);
    EXPECT_EQ(byteAt(frame, 14), 1);
    EXPECT_EQ(jpeg.right(2), QByteArray("\xFF\xD9", 2));
}

TEST(JpegEncoding, TablesAreQuality90AndStandardHuffman) {
    const QByteArray jpeg = formats::encodeJpeg(formats_test::makeTestPicture(40, 24));
    const auto segments = formats_test::segmentsBeforeScan(jpeg);

    std::map<int, std::array<int, 64>> tables;  // by table number, natural order
    for (const Segment& segment : segmentsWith(segments, 0xDB)) {
        for (int at = 0; at + 65 <= segment.payload.size(); at += 65) {
            ASSERT_EQ(byteAt(segment.payload, at) >> 4, 0) << "8-bit table";
            auto& table = tables[byteAt(segment.payload, at) & 15];
            for (int i = 0; i < 64; ++i) {
                table[kZigzagToNatural[i]] = byteAt(segment.payload, at + 1 + i);
            }
        }
    }
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0], scaledForQuality90(kLuminanceTable));
    EXPECT_EQ(tables[1], scaledForQuality90(kChrominanceTable));

    // The code-length counts of the standard tables; optimised tables would differ.
    const std::map<int, std::array<int, 16>> standardCounts = {
        {0x00, {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}},
        {0x01, {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},
        {0x10, {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d}},
        {0x11, {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}}};
    std::map<int, std::array<int, 16>> counts;
    for (const Segment& segment : segmentsWith(segments, 0xC4)) {
        int at = 0;
        while (at + 17 <= segment.payload.size()) {
            auto& table = counts[byteAt(segment.payload, at)];
            int values = 0;
            for (int i = 0; i < 16; ++i) {
                table[i] = byteAt(segment.payload, at + 1 + i);
                values += table[i];
            }
            at += 17 + values;
        }
    }
    EXPECT_EQ(counts, standardCounts);
}

// The settings we cannot read back from the stream (the floating-point DCT) show in the bytes:
// the output must be exactly libjpeg's with its defaults, quality 90 and JDCT_FLOAT.
TEST(JpegEncoding, BytesAreLibjpegDefaultsAtQuality90WithFloatDct) {
    const QImage picture = formats_test::makeTestPicture(53, 37);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* row = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        }
    }
    auto libjpegWith = [&](J_DCT_METHOD method) {
        return formats_test::writeWithLibjpeg(picture.width(), picture.height(), JCS_RGB, 3, rgb,
                                              [method](jpeg_compress_struct& info) {
                                                  jpeg_set_quality(&info, 90, TRUE);
                                                  info.dct_method = method;
                                              });
    };
    const QByteArray ours = formats::encodeJpeg(picture);
    EXPECT_EQ(ours, libjpegWith(JDCT_FLOAT));
    EXPECT_NE(ours, libjpegWith(JDCT_ISLOW)) << "picture too plain to tell the DCTs apart";
}

TEST(JpegEncoding, OtherFormatsAreConvertedAndEmptyIsRefused) {
    QImage argb(8, 8, QImage::Format_ARGB32);
    argb.fill(qRgba(10, 200, 30, 0));
    const QImage decoded = formats::decodeJpeg(formats::encodeJpeg(argb));
    const uchar* pixel = decoded.constScanLine(4) + 3 * 4;
    EXPECT_NEAR(pixel[2], 10, 4);
    EXPECT_NEAR(pixel[1], 200, 4);
    EXPECT_NEAR(pixel[0], 30, 4);

    EXPECT_THROW(formats::encodeJpeg(QImage()), formats::FormatError);
}

}  // namespace
