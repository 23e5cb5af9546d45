// The Alias/Wavefront reader on files built here from the published layout.
#include <gtest/gtest.h>

#include <array>

#include "formats/alias_wavefront_reader.h"
#include "formats/format_error.h"
#include "test_pictures.h"

namespace {

using formats::readAliasWavefront;
using formats_test::Rgb;
using formats_test::rgbAt;

QByteArray pix(int width, int height, int bits, const QByteArray& runs) {
    QByteArray header(10, '\0');
    header[0] = static_cast<char>(width >> 8);
    header[1] = static_cast<char>(width);
    header[2] = static_cast<char>(height >> 8);
    header[3] = static_cast<char>(height);
    header[9] = static_cast<char>(bits);
    return header + runs;
}

TEST(AliasWavefrontReader, ReadsColourRunsAcrossRows) {
    // 2 x 2: a run of 3 (blue, green, red) that carries into the second row, then 1.
    const QImage picture =
        readAliasWavefront(pix(2, 2, 24, QByteArray("\x03\x01\x02\x03\x01\x04\x05\x06", 8)));
    ASSERT_EQ(picture.size(), QSize(2, 2));
    EXPECT_EQ(rgbAt(picture, 1, 0), (Rgb{3, 2, 1}));
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{3, 2, 1}));
    EXPECT_EQ(rgbAt(picture, 1, 1), (Rgb{6, 5, 4}));
}

TEST(AliasWavefrontReader, ReadsGreyRuns) {
    const QImage picture = readAliasWavefront(pix(3, 1, 8, QByteArray("\x01\x10\x02\x80", 4)));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{16, 16, 16}));
    EXPECT_EQ(rgbAt(picture, 2, 0), (Rgb{128, 128, 128}));
}

TEST(AliasWavefrontReader, RefusesBrokenFiles) {
    const QByteArray good = pix(2, 1, 24, QByteArray("\x02\x01\x02\x03", 4));
    ASSERT_NO_THROW(readAliasWavefront(good));
    EXPECT_THROW(readAliasWavefront(good.left(8)), formats::FormatError);
    EXPECT_THROW(readAliasWavefront(good.left(good.size() - 1)), formats::FormatError);
    EXPECT_THROW(readAliasWavefront(pix(2, 1, 16, "\x02\x01\x02")), formats::FormatError);
    EXPECT_THROW(readAliasWavefront(pix(0, 1, 24, "")), formats::FormatError);
    EXPECT_THROW(readAliasWavefront(pix(30000, 30000, 24, "\xff\x01\x02\x03")),
                 formats::FormatError);
    // A zero count, and runs that stop short of the picture.
    EXPECT_THROW(readAliasWavefront(pix(2, 1, 8, QByteArray("\x00\x01\x02\x05", 4))),
                 formats::FormatError);
    EXPECT_THROW(readAliasWavefront(pix(4, 1, 8, QByteArray("\x01\x05\x01\x06", 4))),
                 formats::FormatError);
}

}  // namespace
