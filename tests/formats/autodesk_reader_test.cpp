// The Autodesk reader on files built here from the published layout.
#include <gtest/gtest.h>

#include <array>

#include "formats/format_error.h"
#include "formats/readers/autodesk_reader.h"
#include "test_pictures.h"

namespace {

using formats::readAutodesk;
using formats_test::Rgb;
using formats_test::rgbAt;

// Header (magic 0x9119, size, position, 8 bits, no compression), palette, indices.
QByteArray cel(int width, int height, const QByteArray& palette, const QByteArray& indices) {
    QByteArray header(32, '\0');
    header[0] = 0x19;
    header[1] = static_cast<char>(0x91);
    header[2] = static_cast<char>(width);
    header[3] = static_cast<char>(width >> 8);
    header[4] = static_cast<char>(height);
    header[5] = static_cast<char>(height >> 8);
    header[10] = 8;
    return header + palette + indices;
}

QByteArray palette() {
    QByteArray colours(768, '\0');
    colours[3] = 63;      // colour 1: full red
    colours[6 + 1] = 32;  // colour 2: half green
    colours[6 + 2] = 1;
    return colours;
}

TEST(AutodeskReader, ReadsIndicesThroughTheSixBitPalette) {
    const QImage picture = readAutodesk(cel(2, 2, palette(), QByteArray("\x01\x02\x00\x01", 4)));
    ASSERT_EQ(picture.size(), QSize(2, 2));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(rgbAt(picture, 1, 0), (Rgb{0, 130, 4}));
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{0, 0, 0}));
}

TEST(AutodeskReader, RefusesBrokenFiles) {
    const QByteArray good = cel(2, 1, palette(), "\x01\x02");
    ASSERT_NO_THROW(readAutodesk(good));
    EXPECT_THROW(readAutodesk(good.left(good.size() - 1)), formats::FormatError);
    EXPECT_THROW(readAutodesk(good.left(100)), formats::FormatError);
    EXPECT_THROW(readAutodesk("\x19\x92" + good.mid(2)), formats::FormatError);
    EXPECT_THROW(readAutodesk(cel(0, 1, palette(), "")), formats::FormatError);
    EXPECT_THROW(readAutodesk(cel(30000, 30000, palette(), "\x01")), formats::FormatError);
    QByteArray badPalette = palette();
    badPalette[5] = 64;
    EXPECT_THROW(readAutodesk(cel(2, 1, badPalette, "\x01\x02")), formats::FormatError);
    QByteArray compressed = good;
    compressed[11] = 1;
    EXPECT_THROW(readAutodesk(compressed), formats::FormatError);
}

}  // namespace
