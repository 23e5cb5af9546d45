// The Targa reader on files from other programs and on files built here for each variant.
#include <gtest/gtest.h>

#include <QFile>
#include <array>
#include <initializer_list>

#include "formats/format_error.h"
#include "formats/readers/targa_reader.h"
#include "test_pictures.h"

namespace {

using formats::readTarga;
using formats_test::bytes;
using formats_test::readData;

std::array<int, 3> rgbAt(const QImage& picture, int x, int y) {
    const uchar* at = picture.constScanLine(y) + 3 * x;
    return {at[2], at[1], at[0]};
}

// An 18-byte header followed by `body` (colour map and pixels).
QByteArray targa(int type, int width, int height, int bits, int descriptor, const QByteArray& body,
                 int mapLength = 0, int mapBits = 0) {
    QByteArray file(18, '\0');
    file[1] = static_cast<char>(mapLength > 0 ? 1 : 0);
    file[2] = static_cast<char>(type);
    file[5] = static_cast<char>(mapLength);
    file[6] = static_cast<char>(mapLength >> 8);
    file[7] = static_cast<char>(mapBits);
    file[12] = static_cast<char>(width);
    file[13] = static_cast<char>(width >> 8);
    file[14] = static_cast<char>(height);
    file[15] = static_cast<char>(height >> 8);
    file[16] = static_cast<char>(bits);
    file[17] = static_cast<char>(descriptor);
    return file + body;
}

constexpr int kTopLeft = 0x20;

TEST(TargaReader, ReadsFilesOfAnotherProgramLikeImageMagick) {
    const QImage topLeft = readTarga(readData("gdk-pixbuf-tests-gtk-logo-gray-8bpp-top-left.tga"));
    ASSERT_EQ(topLeft.size(), QSize(48, 48));
    EXPECT_EQ(topLeft.format(), QImage::Format_BGR888);
    // Values from ImageMagick's decode of the same file.
    EXPECT_EQ(rgbAt(topLeft, 10, 10), (std::array<int, 3>{153, 153, 153}));
    EXPECT_EQ(rgbAt(topLeft, 24, 24), (std::array<int, 3>{194, 194, 194}));
    EXPECT_EQ(rgbAt(topLeft, 5, 40), (std::array<int, 3>{0, 0, 0}));

    // The same logo stored from the bottom up with runs, and as grey plus alpha from the right.
    const QImage bottomLeft =
        readTarga(readData("gdk-pixbuf-tests-gtk-logo-gray-rle-8bpp-bottom-left.tga"));
    EXPECT_EQ(bottomLeft, topLeft);
    const QImage topRight =
        readTarga(readData("gdk-pixbuf-tests-gtk-logo-gray-rle-16bpp-top-right.tga"));
    for (auto [x, y] : {std::pair{10, 10}, std::pair{24, 24}, std::pair{30, 12}}) {
        EXPECT_EQ(rgbAt(topRight, x, y), rgbAt(topLeft, x, y)) << x << "," << y;
    }
}

TEST(TargaReader, ReadsTrueColourDepthsAndOrigins) {
    // 2 x 2, 24-bit, bottom-left origin: the first stored row is the bottom one.
    const QImage bottomUp =
        readTarga(targa(2, 2, 2, 24, 0, bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})));
    EXPECT_EQ(rgbAt(bottomUp, 0, 1), (std::array<int, 3>{3, 2, 1}));
    EXPECT_EQ(rgbAt(bottomUp, 1, 0), (std::array<int, 3>{12, 11, 10}));
    // 32-bit, right-to-left: alpha is dropped and the first pixel lands on the right.
    const QImage fromRight =
        readTarga(targa(2, 2, 1, 32, 0x10 | kTopLeft, bytes({1, 2, 3, 0, 4, 5, 6, 255})));
    EXPECT_EQ(rgbAt(fromRight, 1, 0), (std::array<int, 3>{3, 2, 1}));
    EXPECT_EQ(rgbAt(fromRight, 0, 0), (std::array<int, 3>{6, 5, 4}));
    // 16-bit: 5 bits each of red, green, blue, spread to the full range.
    const QImage fiveBits =
        readTarga(targa(2, 2, 1, 16, kTopLeft, bytes({0x00, 0x7c, 0xe0, 0x03})));
    EXPECT_EQ(rgbAt(fiveBits, 0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgbAt(fiveBits, 1, 0), (std::array<int, 3>{0, 255, 0}));
}

TEST(TargaReader, ReadsColourMappedAndGreyPlainAndRunLength) {
    // A map of two 24-bit entries (blue, green, red).
    const QByteArray map = bytes({10, 20, 30, 40, 50, 60});
    const QImage mapped = readTarga(targa(1, 3, 1, 8, kTopLeft, map + bytes({1, 0, 1}), 2, 24));
    EXPECT_EQ(rgbAt(mapped, 0, 0), (std::array<int, 3>{60, 50, 40}));
    EXPECT_EQ(rgbAt(mapped, 1, 0), (std::array<int, 3>{30, 20, 10}));
    // The same with runs: a repeat of 2 and a raw packet of 1.
    const QImage mappedRuns =
        readTarga(targa(9, 3, 1, 8, kTopLeft, map + bytes({0x81, 1, 0x00, 1}), 2, 24));
    EXPECT_EQ(rgbAt(mappedRuns, 1, 0), (std::array<int, 3>{60, 50, 40}));
    EXPECT_EQ(rgbAt(mappedRuns, 2, 0), (std::array<int, 3>{60, 50, 40}));
    // Grey with a run that carries on from the first row into the second.
    const QImage grey = readTarga(targa(11, 2, 2, 8, kTopLeft, bytes({0x82, 77, 0x00, 99})));
    EXPECT_EQ(rgbAt(grey, 0, 1), (std::array<int, 3>{77, 77, 77}));
    EXPECT_EQ(rgbAt(grey, 1, 1), (std::array<int, 3>{99, 99, 99}));
    const QImage trueRuns =
        readTarga(targa(10, 2, 1, 24, kTopLeft, bytes({0x01, 1, 2, 3, 4, 5, 6})));
    EXPECT_EQ(rgbAt(trueRuns, 1, 0), (std::array<int, 3>{6, 5, 4}));
}

TEST(TargaReader, RefusesBrokenFiles) {
    const QByteArray good = targa(2, 2, 1, 24, kTopLeft, bytes({1, 2, 3, 4, 5, 6}));
    ASSERT_NO_THROW(readTarga(good));
    EXPECT_THROW(readTarga(good.left(10)), formats::FormatError);               // short header
    EXPECT_THROW(readTarga(good.left(good.size() - 1)), formats::FormatError);  // short pixels
    EXPECT_THROW(readTarga(targa(5, 2, 1, 24, 0, bytes({1, 2, 3, 4, 5, 6}))),
                 formats::FormatError);  // no such type
    EXPECT_THROW(readTarga(targa(2, 2, 1, 12, 0, bytes({1, 2, 3}))), formats::FormatError);
    EXPECT_THROW(readTarga(targa(2, 0, 1, 24, 0, {})), formats::FormatError);
    EXPECT_THROW(readTarga(targa(2, 65535, 65535, 24, 0, bytes({1, 2, 3}))), formats::FormatError);
    // An index beyond the map, a map that is missing, and a run longer than the data.
    EXPECT_THROW(readTarga(targa(1, 1, 1, 8, 0, bytes({1, 2, 3, 5}), 1, 24)), formats::FormatError);
    EXPECT_THROW(readTarga(targa(1, 1, 1, 8, 0, bytes({0}))), formats::FormatError);
    EXPECT_THROW(readTarga(targa(10, 200, 1, 24, 0, bytes({0x7f, 1, 2, 3}))), formats::FormatError);
    try {
        readTarga(good.left(20));
        FAIL();
    } catch (const formats::FormatError& error) {
        EXPECT_STREQ(error.what(), "Stream read error in TGA file.");
    }
}

}  // namespace
