// The Alias/Wavefront reader on files another program wrote, compared with that program's own
// decoding, and on damaged copies of them.
#include <gtest/gtest.h>

#include "formats/format_error.h"
#include "formats/readers/alias_wavefront_reader.h"
#include "formats/readers/format_readers.h"
#include "test_pictures.h"

namespace {

using formats::readAliasWavefront;
using formats_test::messageOf;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

constexpr int kHeaderBytes = 740;

void expectSamePixels(const QImage& picture, const QImage& reference) {
    ASSERT_EQ(picture.size(), reference.size());
    ASSERT_EQ(picture.format(), QImage::Format_BGR888);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            ASSERT_EQ(rgbAt(picture, x, y), rgbAt(reference, x, y)) << x << ", " << y;
        }
    }
}

void expectMatchesDecoding(const char* file, const char* decoded) {
    SCOPED_TRACE(file);
    const QImage picture = readAliasWavefront(readData(file));
    expectSamePixels(picture, formats::readPortableMap(readData(decoded)));
}

int big16(const QByteArray& data, int at) {
    return (static_cast<uint8_t>(data[at]) << 8) | static_cast<uint8_t>(data[at + 1]);
}

uint32_t big32(const QByteArray& data, int at) {
    return (uint32_t{static_cast<uint8_t>(data[at])} << 24) |
           (uint32_t{static_cast<uint8_t>(data[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(data[at + 2])} << 8) |
           uint32_t{static_cast<uint8_t>(data[at + 3])};
}

void putBig16(QByteArray& data, int at, int value) {
    data[at] = static_cast<char>(value >> 8);
    data[at + 1] = static_cast<char>(value);
}

void putBig32(QByteArray& data, int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        data[at + i] = static_cast<char>(value >> (24 - 8 * i));
    }
}

bool refused(const QByteArray& data) {
    return messageOf([&] { readAliasWavefront(data); }) != "no error";
}

TEST(AliasWavefrontReader, ReadsEightBitColourLikeTheWriter) {
    expectMatchesDecoding("oiio-rgb8.rla", "oiio-rgb8-decoded.ppm");
    // The gradient the file was made from: red 7x, green 11y, blue 3x + 5y + 17.
    const QImage picture = readAliasWavefront(readData("oiio-rgb8.rla"));
    EXPECT_EQ(picture.size(), QSize(37, 23));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{0, 0, 17}));
    EXPECT_EQ(rgbAt(picture, 36, 22), (Rgb{252, 242, 235}));
    EXPECT_EQ(rgbAt(picture, 10, 3), (Rgb{70, 33, 62}));
}

TEST(AliasWavefrontReader, SkipsTheMatteChannel) {
    expectMatchesDecoding("oiio-rgba8.rla", "oiio-rgba8-decoded.ppm");
}

TEST(AliasWavefrontReader, ReadsSixteenBitChannelsAsHighThenLowBytes) {
    // The reference keeps all 16 bits; the PPM reader rounds them as this reader does.
    expectMatchesDecoding("oiio-rgb16.rla", "oiio-rgb16-decoded.ppm");
    // Red 1733x + 13y: at (1, 0) 1733 rounds to 7; at (20, 22) the file holds 34945, 136.
    const QImage picture = readAliasWavefront(readData("oiio-rgb16.rla"));
    EXPECT_EQ(rgbAt(picture, 1, 0)[0], 7);
    EXPECT_EQ(rgbAt(picture, 20, 22)[0], 136);
}

TEST(AliasWavefrontReader, ReadsGrey) {
    expectMatchesDecoding("oiio-grey8.rla", "oiio-grey8-decoded.pgm");
    const QImage picture = readAliasWavefront(readData("oiio-grey8.rla"));
    EXPECT_EQ(rgbAt(picture, 3, 2), (Rgb{21, 21, 21}));
}

TEST(AliasWavefrontReader, PlacesANarrowerActiveWindow) {
    // Active columns 5..41 of a 50-wide window, all rows: black on both sides.
    expectMatchesDecoding("oiio-hwin8.rla", "oiio-hwin8-decoded.ppm");
    const QImage picture = readAliasWavefront(readData("oiio-hwin8.rla"));
    EXPECT_EQ(rgbAt(picture, 4, 7), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(picture, 5, 0), (Rgb{0, 0, 17}));
    EXPECT_EQ(rgbAt(picture, 42, 7), (Rgb{0, 0, 0}));
}

TEST(AliasWavefrontReader, PlacesActiveRowsByTheirHeightInTheWindow) {
    // The window spans rows 0..29 and the active window rows -3..19, with y growing upwards:
    // active row 19 is the picture's row 10 and rows below 0 fall outside. The other program
    // puts the same rows at 3..25 of its decoding, so our row y is its row y - 7.
    const QByteArray file = readData("oiio-win8.rla");
    ASSERT_EQ(big16(file, 12), 0xfffd);
    ASSERT_EQ(big16(file, 14), 19);
    const QImage picture = readAliasWavefront(file);
    const QImage other = formats::readPortableMap(readData("oiio-win8-decoded.ppm"));
    ASSERT_EQ(picture.size(), QSize(50, 30));
    ASSERT_EQ(other.size(), QSize(50, 30));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 50; ++x) {
            const bool active = y >= 10 && x >= 5 && x <= 41;
            EXPECT_EQ(rgbAt(picture, x, y), active ? rgbAt(other, x, y - 7) : (Rgb{0, 0, 0}))
                << x << ", " << y;
        }
    }
}

TEST(AliasWavefrontReader, RefusesTruncatedFiles) {
    const QByteArray good = readData("oiio-rgb8.rla");
    ASSERT_FALSE(refused(good));
    for (const int size : {0, 100, kHeaderBytes - 1, kHeaderBytes, kHeaderBytes + 50}) {
        EXPECT_TRUE(refused(good.left(size))) << size;
    }
    // The bottom row is stored last: cutting the file's end cuts its runs short.
    EXPECT_EQ(messageOf([&] { readAliasWavefront(good.left(good.size() - 10)); }),
              "Stream read error in RLA file.");
}

TEST(AliasWavefrontReader, RefusesOffsetsOutsideTheFile) {
    const QByteArray good = readData("oiio-rgb8.rla");
    for (const uint32_t offset : {uint32_t{0}, uint32_t{739}, uint32_t(good.size()),
                                  uint32_t{0x7fffffff}, uint32_t{0xffffffff}}) {
        QByteArray bad = good;
        putBig32(bad, kHeaderBytes + 4 * 5, offset);
        EXPECT_EQ(messageOf([&] { readAliasWavefront(bad); }),
                  "Cannot load image. A row offset in the RLA file lies outside the file.")
            << offset;
    }
    // An offset inside the file that points into the middle of a row reads nonsense.
    QByteArray bad = good;
    putBig32(bad, kHeaderBytes + 4 * 5, static_cast<uint32_t>(good.size() - 3));
    EXPECT_TRUE(refused(bad));
}

TEST(AliasWavefrontReader, RefusesBadRuns) {
    const QByteArray good = readData("oiio-rgb8.rla");
    const int row = static_cast<int>(big32(good, kHeaderBytes));
    // The first channel of the bottom row is 38 bytes: -37 and 37 literal bytes.
    ASSERT_EQ(big16(good, row), 38);
    ASSERT_EQ(static_cast<uint8_t>(good[row + 2]), 0xdb);

    QByteArray longLiteral = good;
    longLiteral[row + 2] = static_cast<char>(-38);  // one byte past the row
    EXPECT_EQ(messageOf([&] { readAliasWavefront(longLiteral); }),
              "Cannot load image. Compression error found in RLA file.");

    QByteArray longRepeat = good;
    longRepeat[row + 2] = 37;  // 38 copies in a 37-wide row
    EXPECT_TRUE(refused(longRepeat));

    QByteArray shortCount = good;
    putBig16(shortCount, row, 20);  // the literal then runs past its byte count
    EXPECT_TRUE(refused(shortCount));

    QByteArray shortRow = good;
    shortRow[row + 2] = static_cast<char>(-36);  // leaves the row one pixel short
    putBig16(shortRow, row, 37);
    EXPECT_TRUE(refused(shortRow));
}

TEST(AliasWavefrontReader, RefusesBadHeaders) {
    const QByteArray good = readData("oiio-rgb8.rla");
    auto with16 = [&](int at, int value) {
        QByteArray bad = good;
        putBig16(bad, at, value);
        return bad;
    };
    EXPECT_TRUE(refused(with16(2, 0xffff)));   // window right of -1 < left
    EXPECT_TRUE(refused(with16(14, 0xfff0)));  // active top below its bottom
    EXPECT_EQ(messageOf([&] { readAliasWavefront(with16(20, 2)); }),
              "Invalid color format in RLA file.");
    EXPECT_TRUE(refused(with16(20, 4)));
    EXPECT_TRUE(refused(with16(22, 0xffff)));  // negative matte count
    EXPECT_TRUE(refused(with16(658, 0)));
    EXPECT_TRUE(refused(with16(658, 32)));
    // A window over the size limits is refused before anything is allocated.
    QByteArray huge = with16(2, 30000);
    putBig16(huge, 6, 30000);
    EXPECT_TRUE(refused(huge));
    // An active window taller than the file can hold offsets for.
    EXPECT_EQ(messageOf([&] { readAliasWavefront(with16(14, 20000)); }),
              "Stream read error in RLA file.");
}

}  // namespace
