// The BMP writer and the header checks of the BMP reader.
#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "test_pictures.h"

namespace {

using formats_test::putLittle32;

uint32_t little32(const QByteArray& bytes, int at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), a.width() * 3) != 0) {
            return false;
        }
    }
    return true;
}

TEST(BmpCodec, WritesPaddedBottomUpRowsAndReadsThemBackExactly) {
    for (int width = 1; width <= 5; ++width) {
        const QImage picture = formats_test::makeTestPicture(width, 3);
        const QByteArray file = formats::encodeBmp24(picture);
        const int rowBytes = (width * 3 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + rowBytes * 3);
        EXPECT_TRUE(file.startsWith("BM"));
        EXPECT_EQ(little32(file, 2), static_cast<uint32_t>(file.size()));
        EXPECT_EQ(little32(file, 10), 54u);
        EXPECT_EQ(little32(file, 14), 40u);
        EXPECT_EQ(little32(file, 18), static_cast<uint32_t>(width));
        EXPECT_EQ(little32(file, 22), 3u);  // positive height: bottom-up
        EXPECT_EQ(little32(file, 28) & 0xFFFF, 24u);
        EXPECT_EQ(little32(file, 30), 0u);  // uncompressed
        // The first stored row is the bottom one, blue first.
        EXPECT_EQ(std::memcmp(file.constData() + 54, picture.constScanLine(2), width * 3), 0);

        const QImage decoded = formats::decodeBmp(file);
        EXPECT_TRUE(samePixels(decoded, picture)) << "width " << width;
    }
}

TEST(BmpCodec, ReadsBitmapsOfOtherPrograms) {
    QFile palette(formats_test::dataFile("golang-golang-x-image-dev-colormap.bmp"));
    ASSERT_TRUE(palette.open(QIODevice::ReadOnly));
    const QImage colormap = formats::decodeBmp(palette.readAll());
    EXPECT_EQ(colormap.size(), QSize(150, 103));
    EXPECT_EQ(colormap.format(), QImage::Format_BGR888);

    QFile version5(formats_test::dataFile("golang-golang-x-image-dev-yellow_rose-small-v5.bmp"));
    ASSERT_TRUE(version5.open(QIODevice::ReadOnly));
    EXPECT_EQ(formats::decodeBmp(version5.readAll()).size(), QSize(16, 12));
}

std::string messageOf(const QByteArray& data) {
    try {
        formats::decodeBmp(data);
    } catch (const formats::FormatError& error) {
        return error.what();
    }
    return "decoded without error";
}

TEST(BmpCodec, BrokenAndHugeHeadersAreRefusedBeforeReading) {
    const QByteArray good = formats::encodeBmp24(formats_test::makeTestPicture(7, 5));
    EXPECT_EQ(messageOf(good.left(30)), "Stream read error in BMP file.");
    EXPECT_EQ(messageOf(good.left(good.size() - 1)), "Stream read error in BMP file.");
    EXPECT_EQ(messageOf(QByteArray("BM")),
              "Cannot load image. Invalid or unexpected BMP image format.");

    QByteArray oddHeader = good;
    putLittle32(oddHeader, 14, 20);
    EXPECT_NE(messageOf(oddHeader).find("Invalid or unexpected BMP"), std::string::npos);

    for (const QSize size : {QSize(30001, 1), QSize(1, -30001), QSize(20000, 20000)}) {
        QByteArray huge = good;
        putLittle32(huge, 18, static_cast<uint32_t>(size.width()));
        putLittle32(huge, 22, static_cast<uint32_t>(size.height()));
        EXPECT_NE(messageOf(huge).find("too large"), std::string::npos)
            << size.width() << "x" << size.height();
    }
    QByteArray empty = good;
    putLittle32(empty, 18, 0);
    EXPECT_NE(messageOf(empty).find("no pixels"), std::string::npos);

    EXPECT_THROW(formats::encodeBmp24(QImage()), formats::FormatError);
}

TEST(PictureConversion, AlphaIsDroppedAndColoursKept) {
    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(200, 100, 50, 0));
    argb.setPixel(1, 0, qRgba(10, 20, 30, 128));
    QImage premultiplied = argb.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage fromStraight = formats::toPicture24(argb);
    ASSERT_EQ(fromStraight.format(), QImage::Format_BGR888);
    const uchar* row = fromStraight.constScanLine(0);
    EXPECT_EQ(row[2], 200);
    EXPECT_EQ(row[1], 100);
    EXPECT_EQ(row[0], 50);
    EXPECT_EQ(row[5], 10);
    EXPECT_EQ(row[3], 30);

    // Premultiplied pixels come back un-premultiplied (within rounding), not darkened.
    const QImage fromPremultiplied = formats::toPicture24(premultiplied);
    const uchar* half = fromPremultiplied.constScanLine(0) + 3;
    EXPECT_NEAR(half[2], 10, 1);
    EXPECT_NEAR(half[0], 30, 1);

    QImage indexed(1, 1, QImage::Format_Indexed8);
    indexed.setColor(0, qRgb(1, 2, 3));
    indexed.fill(0);
    const QImage fromIndexed = formats::toPicture24(indexed);
    const uchar* pixel = fromIndexed.constScanLine(0);
    EXPECT_EQ(pixel[0], 3);
    EXPECT_EQ(pixel[2], 1);
}

}  // namespace
