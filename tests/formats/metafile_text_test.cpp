// Metafiles with text, read while a QGuiApplication exists: office-suite files at their sizes
// with their shapes and text, also with a damaged record, and the opaque box of ExtTextOut.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "formats/metafile/metafile_reader.h"
#include "metafile_builder.h"
#include "test_pictures.h"

namespace {

using formats_test::put16;
using formats_test::readData;

QRgb at(const QImage& picture, int x, int y) {
    return picture.pixel(x, y) & 0xFFFFFF;
}

int darkPixels(const QImage& picture, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += qGray(picture.pixel(x, y)) < 100;
        }
    }
    return count;
}

TEST(MetafileText, OfficeShapesOpenWithTheirTextAtTheirSize) {
    for (const QImage& picture : {formats::readWindowsMetafile(readData("lo-shapes-placeable.wmf")),
                                  formats::readEnhancedMetafile(readData("lo-shapes.emf"))}) {
        ASSERT_EQ(picture.size(), QSize(187, 137));
        EXPECT_EQ(at(picture, 40, 30), 0xFF0000u);   // rectangle
        EXPECT_EQ(at(picture, 143, 33), 0x0000FFu);  // ellipse
        EXPECT_EQ(at(picture, 43, 115), 0x00C000u);  // triangle
        EXPECT_EQ(at(picture, 140, 93), 0u);         // thick line
        EXPECT_EQ(at(picture, 100, 70), 0xFFFFFFu);
        EXPECT_EQ(at(picture, 180, 5), 0xFFFFFFu);
        EXPECT_GT(darkPixels(picture, QRect(100, 105, 80, 32)), 40) << "the text \"Mug\"";
    }
}

TEST(MetafileText, PlainWmfTakesItsSizeFromTheWindowExtent) {
    // 9856 x 7210 hundredths of a millimetre at 96 pixels per inch.
    const QImage picture = formats::readWindowsMetafile(readData("lo-shapes-plain.wmf"));
    ASSERT_EQ(picture.size(), QSize(373, 273));
    EXPECT_EQ(at(picture, 80, 50), qRgb(255, 128, 0) & 0xFFFFFF);
    EXPECT_EQ(at(picture, 280, 60), qRgb(32, 96, 255) & 0xFFFFFF);
    EXPECT_EQ(at(picture, 100, 230), qRgb(32, 192, 64) & 0xFFFFFF);
    EXPECT_EQ(at(picture, 300, 150), 0xFFFFFFu);
    EXPECT_GT(darkPixels(picture, QRect(210, 115, 140, 40)), 100) << "the text \"Mugwarp\"";
}

TEST(MetafileText, ExtTextOutFillsItsOpaqueBoxAndDrawsInTheTextColour) {
    formats_test::WmfBuilder wmf;
    QByteArray background;
    formats_test::put32(background, formats_test::colourRef(qRgb(0, 0, 255)));
    QByteArray colour;
    formats_test::put32(colour, formats_test::colourRef(qRgb(255, 255, 0)));
    wmf.record(0x0201, background).record(0x0209, colour);
    QByteArray text;
    for (const int word : {10, 10, 2, 2 /* opaque */, 5, 5, 95, 45}) {
        put16(text, word);
    }
    text.append("Mu");
    wmf.record(0x0A32, text);
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 100, 50, 96, 0));
    EXPECT_EQ(at(picture, 80, 40), 0x0000FFu);
    EXPECT_EQ(at(picture, 2, 2), 0xFFFFFFu);
    int yellow = 0;
    for (int y = 5; y < 45; ++y) {
        for (int x = 5; x < 95; ++x) {
            yellow += qRed(picture.pixel(x, y)) > 200 && qBlue(picture.pixel(x, y)) < 60;
        }
    }
    EXPECT_GT(yellow, 10);
}

TEST(MetafileText, OfficeFilesWithADamagedRecordDrawTheirOtherShapes) {
    // The ellipse's polygon record claims 32767 polygons in the WMF; its curve claims two
    // thousand million points in the EMF. Both records are skipped, the rest is drawn.
    QByteArray wmf = readData("lo-shapes-placeable.wmf");
    wmf[2618] = static_cast<char>(0xFF);
    wmf[2619] = 0x7F;
    QByteArray emf = readData("lo-shapes.emf");
    for (const int i : {732, 733, 734}) {
        emf[i] = static_cast<char>(0xFF);
    }
    emf[735] = 0x7F;
    for (const QImage& picture :
         {formats::readWindowsMetafile(wmf), formats::readEnhancedMetafile(emf)}) {
        ASSERT_EQ(picture.size(), QSize(187, 137));
        EXPECT_EQ(at(picture, 40, 30), 0xFF0000u);   // rectangle
        EXPECT_EQ(at(picture, 143, 33), 0xFFFFFFu);  // no ellipse
        EXPECT_EQ(at(picture, 43, 115), 0x00C000u);  // triangle
        EXPECT_EQ(at(picture, 140, 93), 0u);         // thick line
        EXPECT_GT(darkPixels(picture, QRect(100, 105, 80, 32)), 40) << "the text";
    }
}

}  // namespace
