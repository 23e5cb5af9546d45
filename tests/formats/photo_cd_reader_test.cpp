// The Photo-CD reader on a file from another program and on a base image built here.
#include <gtest/gtest.h>

#include <QFile>
#include <array>
#include <cstdlib>

#include "formats/format_error.h"
#include "formats/readers/photo_cd_reader.h"
#include "test_pictures.h"

namespace {

using formats::readPhotoCd;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

void expectNear(const Rgb& actual, const Rgb& expected, int tolerance) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_LE(std::abs(actual[c] - expected[c]), tolerance)
            << actual[0] << "," << actual[1] << "," << actual[2];
    }
}

// A file of the base image's size with the signature, every luma byte `luma` and every chroma
// byte of the pair rows given by `chroma(pair)`.
template <typename Chroma>
QByteArray photoCd(int luma, Chroma chroma) {
    QByteArray file(0x30000 + 768 * 3 * 256, '\0');
    file.replace(0x800, 7, "PCD_IPI");
    for (int pair = 0; pair < 256; ++pair) {
        const int start = 0x30000 + pair * 768 * 3;
        file.replace(start, 1536, QByteArray(1536, static_cast<char>(luma)));
        file.replace(start + 1536, 768, QByteArray(768, static_cast<char>(chroma(pair))));
    }
    return file;
}

TEST(PhotoCdReader, ReadsTheBaseImageLikeImageMagick) {
    const QImage picture = readPhotoCd(readData("im-b.pcd"));
    ASSERT_EQ(picture.size(), QSize(768, 512));
    // ImageMagick's decode of the same file, which upsamples and converts a little
    // differently: we agree within a few levels.
    expectNear(rgbAt(picture, 0, 0), {73, 41, 0}, 8);
    expectNear(rgbAt(picture, 400, 300), {151, 135, 165}, 8);
    expectNear(rgbAt(picture, 767, 511), {240, 236, 241}, 8);
}

TEST(PhotoCdReader, ConvertsChromaAndInterpolatesItBetweenRows) {
    // C1 = 156 and C2 = 137 carry no colour.
    const QImage neutral = readPhotoCd(photoCd(100, [](int) { return 137; }));
    // Both chroma rows hold 137: C1 is then 19 below neutral, so blue drops and red stays.
    EXPECT_EQ(rgbAt(neutral, 10, 10)[0], 100);
    EXPECT_LT(rgbAt(neutral, 10, 10)[2], 100);
    // Chroma rising from one pair of rows to the next gives the second row of a pair a value
    // between its own pair's and the next pair's.
    const QImage ramp = readPhotoCd(photoCd(120, [](int pair) { return pair % 2 ? 200 : 137; }));
    const int ownRow = rgbAt(ramp, 5, 0)[0];
    const int blended = rgbAt(ramp, 5, 1)[0];
    const int nextPair = rgbAt(ramp, 5, 3)[0];
    EXPECT_LT(ownRow, blended);
    EXPECT_LT(blended, nextPair);
}

TEST(PhotoCdReader, RefusesBrokenFiles) {
    const QByteArray good = photoCd(50, [](int) { return 140; });
    ASSERT_NO_THROW(readPhotoCd(good));
    EXPECT_THROW(readPhotoCd(good.left(good.size() - 1)), formats::FormatError);
    EXPECT_THROW(readPhotoCd(good.left(0x900)), formats::FormatError);
    QByteArray wrongMagic = good;
    wrongMagic[0x800] = 'X';
    EXPECT_THROW(readPhotoCd(wrongMagic), formats::FormatError);
    EXPECT_THROW(readPhotoCd(QByteArray(10, 'P')), formats::FormatError);
}

}  // namespace
