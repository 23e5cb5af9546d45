// The JPEG reader: colour spaces, progressive files, files by other programs, damaged input.
#include <gtest/gtest.h>

#include <QFile>
#include <array>

#include "formats/format_error.h"
#include "formats/jpeg_codec.h"
#include "test_pictures.h"

namespace {

using formats_test::readData;
// Red, green and blue channel of pixel (x, y) of a Format_BGR888 picture.
std::array<int, 3> rgbAt(const QImage& picture, int x, int y) {
    const uchar* pixel = picture.constScanLine(y) + 3 * x;
    return {pixel[2], pixel[1], pixel[0]};
}

void expectColour(const QImage& picture, int x, int y, std::array<int, 3> expected) {
    const auto actual = rgbAt(picture, x, y);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(actual[c], expected[c], 4) << "pixel " << x << "," << y << " channel " << c;
    }
}

std::string messageOf(const QByteArray& data) {
    try {
        formats::decodeJpeg(data);
    } catch (const formats::FormatError& error) {
        return error.what();
    }
    return "decoded without error";
}

TEST(JpegDecoding, GreyscaleBecomesEqualChannels) {
    std::vector<uint8_t> grey(32 * 8);
    for (size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<uint8_t>((i % 32) * 8);
    }
    const QImage picture = formats::decodeJpeg(formats_test::writeWithLibjpeg(
        32, 8, JCS_GRAYSCALE, 1, grey, [](jpeg_compress_struct&) {}));
    ASSERT_EQ(picture.size(), QSize(32, 8));
    for (int x : {0, 13, 31}) {
        expectColour(picture, x, 3, {x * 8, x * 8, x * 8});
    }

    const QImage real = formats::decodeJpeg(readData("im-b-grey.jpg"));
    ASSERT_EQ(real.size(), QSize(200, 150));
    for (int y = 0; y < real.height(); y += 7) {
        for (int x = 0; x < real.width(); x += 5) {
            const auto rgb = rgbAt(real, x, y);
            ASSERT_TRUE(rgb[0] == rgb[1] && rgb[1] == rgb[2]);
        }
    }
}

// Four 16x16 blocks of inks, given as ink amounts (0 = none) or inverted.
std::vector<uint8_t> inkBlocks(bool inverted) {
    const std::array<std::array<int, 4>, 4> inks = {{
        {0, 255, 255, 0},  // magenta + yellow: red
        {255, 0, 255, 0},  // green
        {255, 255, 0, 0},  // blue
        {0, 0, 0, 128},    // half black
    }};
    std::vector<uint8_t> samples;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            for (int ink : inks[x / 16]) {
                samples.push_back(static_cast<uint8_t>(inverted ? 255 - ink : ink));
            }
        }
    }
    return samples;
}

void expectInkColours(const QImage& picture) {
    ASSERT_EQ(picture.size(), QSize(64, 16));
    expectColour(picture, 8, 8, {255, 0, 0});
    expectColour(picture, 24, 8, {0, 255, 0});
    expectColour(picture, 40, 8, {0, 0, 255});
    expectColour(picture, 56, 8, {127, 127, 127});
}

TEST(JpegDecoding, CmykAndYcckInBothInkConventions) {
    // libjpeg writes an Adobe marker for CMYK: such files store the inks inverted.
    expectInkColours(formats::decodeJpeg(formats_test::writeWithLibjpeg(
        64, 16, JCS_CMYK, 4, inkBlocks(true), [](jpeg_compress_struct&) {})));
    expectInkColours(formats::decodeJpeg(formats_test::writeWithLibjpeg(
        64, 16, JCS_CMYK, 4, inkBlocks(true),
        [](jpeg_compress_struct& info) { jpeg_set_colorspace(&info, JCS_YCCK); })));
    // Without the marker the samples are plain ink amounts.
    expectInkColours(formats::decodeJpeg(formats_test::writeWithLibjpeg(
        64, 16, JCS_CMYK, 4, inkBlocks(false),
        [](jpeg_compress_struct& info) { info.write_Adobe_marker = FALSE; })));

    // A CMYK file from another program shows the same photo as its RGB sibling.
    const QImage cmyk = formats::decodeJpeg(readData("im-b-cmyk.jpg"));
    const QImage rgb = formats::decodeJpeg(readData("im-b-progressive.jpg"));
    ASSERT_EQ(cmyk.size(), rgb.size());
    EXPECT_LT(formats_test::compare(cmyk, rgb).mean, 12.0);
}

TEST(JpegDecoding, ProgressiveFiles) {
    const QImage original = formats_test::makeTestPicture(48, 40);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < original.height(); ++y) {
        for (int x = 0; x < original.width(); ++x) {
            const auto pixel = rgbAt(original, x, y);
            rgb.insert(rgb.end(), pixel.begin(), pixel.end());
        }
    }
    const QByteArray progressive =
        formats_test::writeWithLibjpeg(48, 40, JCS_RGB, 3, rgb, [](jpeg_compress_struct& info) {
            jpeg_set_quality(&info, 95, TRUE);
            jpeg_simple_progression(&info);
        });
    EXPECT_NE(progressive.indexOf("\xFF\xC2"), -1);
    const QImage decoded = formats::decodeJpeg(progressive);
    ASSERT_EQ(decoded.size(), original.size());
    EXPECT_LT(formats_test::compare(decoded, original).mean, 6.0);

    EXPECT_EQ(formats::decodeJpeg(readData("im-b-progressive.jpg")).size(), QSize(200, 150));
}

TEST(JpegDecoding, CutShortFilesAreRefused) {
    const QByteArray whole = formats::encodeJpeg(formats_test::makeTestPicture(64, 48));
    for (qsizetype length : {qsizetype{0}, qsizetype{2}, qsizetype{3}, qsizetype{20},
                             whole.size() / 3, whole.size() / 2, whole.size() - 2}) {
        EXPECT_THROW(formats::decodeJpeg(whole.left(length)), formats::FormatError) << length;
    }
    EXPECT_NE(messageOf(whole.left(whole.size() / 2)).find("Unexpected end of input"),
              std::string::npos);
    // A real file that ends in the middle of its scan.
    EXPECT_NE(
        messageOf(readData("gdk-pixbuf-tests-premature-end.jpg")).find("Unexpected end of input"),
        std::string::npos);
}

TEST(JpegDecoding, GarbageAndOddComponentsAreRefused) {
    EXPECT_THROW(formats::decodeJpeg(QByteArray("GIF89a not a jpeg")), formats::FormatError);
    QByteArray garbage("\xFF\xD8\xFF", 3);
    for (int i = 0; i < 500; ++i) {
        garbage.append(static_cast<char>((i * 37 + 11) % 251));
    }
    EXPECT_THROW(formats::decodeJpeg(garbage), formats::FormatError);

    const std::vector<uint8_t> twoChannels(8 * 8 * 2, 100);
    const QByteArray twoComponents = formats_test::writeWithLibjpeg(
        8, 8, JCS_UNKNOWN, 2, twoChannels, [](jpeg_compress_struct&) {});
    EXPECT_EQ(messageOf(twoComponents), "Invalid color format in JPEG file.");
}

// Sets the height and width in the SOF0 segment of a stream written by encodeJpeg().
QByteArray withFrameSize(QByteArray jpeg, int width, int height) {
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width);
    return jpeg;
}

TEST(JpegDecoding, PicturesBeyondTheSizeLimitAreRefusedFromTheHeader) {
    const QByteArray small = formats::encodeJpeg(formats_test::makeTestPicture(16, 16));
    for (const QSize size : {QSize(30001, 16), QSize(16, 65000), QSize(20000, 20000)}) {
        EXPECT_NE(messageOf(withFrameSize(small, size.width(), size.height())).find("too large"),
                  std::string::npos)
            << size.width() << "x" << size.height();
    }
    // Within the limit the header passes and the missing data is what fails.
    EXPECT_NE(messageOf(withFrameSize(small, 4000, 3000)).find("Unexpected end of input"),
              std::string::npos);
}

}  // namespace
