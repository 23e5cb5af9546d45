// The portable map reader on files from other programs and on the six kinds built here.
#include <gtest/gtest.h>

#include <QFile>
#include <array>

#include "formats/format_error.h"
#include "formats/readers/portable_map_reader.h"
#include "test_pictures.h"

namespace {

using formats::readPortableMap;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

TEST(PortableMapReader, ReadsFilesOfOtherProgramsLikeImageMagick) {
    // Values from ImageMagick's decode of the same files.
    const QImage colour = readPortableMap(readData("im-b-ascii.ppm"));
    ASSERT_EQ(colour.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(colour, 0, 0), (Rgb{59, 36, 4}));
    EXPECT_EQ(rgbAt(colour, 199, 149), (Rgb{217, 214, 217}));
    const QImage grey = readPortableMap(readData("im-b-ascii.pgm"));
    EXPECT_EQ(rgbAt(grey, 100, 75), (Rgb{117, 117, 117}));
    const QImage bits = readPortableMap(readData("im-b.pbm"));
    ASSERT_EQ(bits.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(bits, 7, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(bits, 100, 75), (Rgb{0, 0, 0}));
    const QImage strip = readPortableMap(readData("netpbm-pcxstd.ppm"));
    ASSERT_EQ(strip.size(), QSize(16, 1));
    EXPECT_EQ(rgbAt(strip, 15, 0), (Rgb{255, 255, 255}));
}

TEST(PortableMapReader, ReadsPlainAndRawKindsWithCommentsAndWideSamples) {
    const QImage plainBits = readPortableMap("P1\n# comment\n3 1\n1 01");
    EXPECT_EQ(rgbAt(plainBits, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(plainBits, 1, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(plainBits, 2, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(readPortableMap("P2 2 1 # two\n 10 5 10"), 1, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(readPortableMap("P3 1 1 65535 65535 0 32768"), 0, 0), (Rgb{255, 0, 128}));
    // Raw bitmaps start every row on a byte.
    const QImage rawBits = readPortableMap(QByteArray("P4 9 2\n\x80\x80\x00\x7f", 11));
    EXPECT_EQ(rgbAt(rawBits, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(rawBits, 8, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(rawBits, 8, 1), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(readPortableMap(QByteArray("P5 1 1 3\n\x01", 10)), 0, 0), (Rgb{85, 85, 85}));
    EXPECT_EQ(rgbAt(readPortableMap(QByteArray("P6 1 1 1000\n\x03\xe8\x01\xf4\x00\x00", 18)), 0, 0),
              (Rgb{255, 128, 0}));
}

TEST(PortableMapReader, RefusesBrokenFiles) {
    EXPECT_NO_THROW(readPortableMap("P2 1 1 255 7"));
    EXPECT_THROW(readPortableMap("P7 1 1 255 7"), formats::FormatError);
    EXPECT_THROW(readPortableMap("X2 1 1 255 7"), formats::FormatError);
    EXPECT_THROW(readPortableMap("P2 1 1 255"), formats::FormatError);      // no sample
    EXPECT_THROW(readPortableMap("P2 1 1 100 101"), formats::FormatError);  // above maxval
    EXPECT_THROW(readPortableMap("P2 1 1 0 0"), formats::FormatError);      // maxval 0
    EXPECT_THROW(readPortableMap("P2 1 1 65536 0"), formats::FormatError);
    EXPECT_THROW(readPortableMap("P6 20000 20000 255\n123"), formats::FormatError);
    EXPECT_THROW(readPortableMap("P5 99999999999 1 255\n1"), formats::FormatError);
    EXPECT_THROW(readPortableMap("P1 2 1 0 2"), formats::FormatError);
    EXPECT_THROW(readPortableMap("P5 2 1 255\n1"), formats::FormatError);  // short samples
    EXPECT_THROW(readPortableMap(readData("gdk-pixbuf-tests-invalid.2.ppm")), formats::FormatError);
}

}  // namespace
