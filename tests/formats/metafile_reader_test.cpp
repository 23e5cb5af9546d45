// The metafile reader without a QGuiApplication: shapes, mapping, clipping, regions, mix modes
// and bitmaps of metafiles written by an office suite and built record by record, records
// skipped, and refusal of bad files.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <functional>

#include "formats/format_error.h"
#include "formats/metafile/metafile_reader.h"
#include "formats/wmf_writer.h"
#include "metafile_builder.h"
#include "test_pictures.h"

namespace {

using formats_test::EmfBuilder;
using formats_test::put16;
using formats_test::put32;
using formats_test::readData;
using formats_test::WmfBuilder;

constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kBlue = 0x0000FF;

QRgb at(const QImage& picture, int x, int y) {
    return picture.pixel(x, y) & 0xFFFFFF;
}

// A red brush in slot 0 and a null pen in slot 1, both selected.
WmfBuilder redFill() {
    WmfBuilder wmf;
    wmf.solidBrush(qRgb(255, 0, 0)).pen(5, 0, 0).select(0).select(1);
    return wmf;
}

void expectRefused(const std::function<QImage()>& read, const char* what) {
    EXPECT_THROW(read(), formats::FormatError) << what;
}

TEST(MetafileReader, PlaceableSizeComesFromBoundingBoxAndUnitsPerInch) {
    WmfBuilder wmf = redFill();
    wmf.rectangle(10, 10, 90, 40);
    // 200 x 100 units at 192 units per inch are 100 x 50 pixels at 96 per inch.
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 200, 100, 192, 2));
    ASSERT_EQ(picture.size(), QSize(100, 50));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(at(picture, 25, 12), kRed);
    EXPECT_EQ(at(picture, 60, 30), kWhite);
    EXPECT_EQ(at(picture, 2, 2), kWhite);
}

TEST(MetafileReader, WindowRecordsMapLogicalUnits) {
    // A window with its y axis upwards puts the rectangle at the bottom.
    WmfBuilder flipped = redFill();
    flipped.record(0x020B, {100, 0}).record(0x020C, {-100, 100}).rectangle(10, 10, 30, 30);
    const QImage up = formats::readWindowsMetafile(flipped.placeable(0, 0, 100, 100, 96, 2));
    EXPECT_EQ(at(up, 20, 80), kRed);
    EXPECT_EQ(at(up, 20, 20), kWhite);

    // Isotropic mapping keeps units square: the smaller scale wins.
    WmfBuilder isotropic = redFill();
    isotropic.record(0x0103, {7}).record(0x020C, {50, 100}).rectangle(0, 0, 50, 50);
    const QImage square = formats::readWindowsMetafile(isotropic.placeable(0, 0, 100, 100, 96, 2));
    EXPECT_EQ(at(square, 25, 45), kRed);
    EXPECT_EQ(at(square, 25, 75), kWhite);

    // EMF in tenths of a millimetre, y upwards from a viewport origin at the bottom:
    // 132 units are 5 pixels short of 50 at 96 pixels per inch.
    EmfBuilder emf;
    emf.record(17, {2})
        .record(12, {0, 100})
        .record(39, {1, 0, formats_test::colourRef(qRgb(255, 0, 0)), 0})
        .record(37, {1})
        .record(37, {0x80000008})
        .record(43, {0, 0, 132, 132});
    const QImage metric = formats::readEnhancedMetafile(emf.file(2645, 2645, 2));
    ASSERT_EQ(metric.size(), QSize(100, 100));
    EXPECT_EQ(at(metric, 25, 75), kRed);
    EXPECT_EQ(at(metric, 25, 25), kWhite);
    EXPECT_EQ(at(metric, 75, 75), kWhite);
}

TEST(MetafileReader, DrawsPolygonsPiesOutlinesAndHatches) {
    WmfBuilder wmf = redFill();
    // Two squares, one inside the other, both clockwise; the second pair moved right by 70.
    const int coordinates[] = {0, 0, 60, 0, 60, 60, 0, 60, 20, 20, 40, 20, 40, 40, 20, 40};
    QByteArray squares;
    QByteArray shifted;
    for (QByteArray* out : {&squares, &shifted}) {
        put16(*out, 2);
        put16(*out, 4);
        put16(*out, 4);
    }
    for (int i = 0; i < 16; ++i) {
        put16(squares, coordinates[i]);
        put16(shifted, coordinates[i] + (i % 2 == 0 ? 70 : 0));
    }
    wmf.record(0x0538, squares).record(0x0106, {2}).record(0x0538, shifted);
    // Pie in (140,0)-(180,40) from three o'clock to twelve: the upper right quarter.
    wmf.record(0x081A, {0, 160, 20, 180, 40, 180, 0, 140});
    // A null brush with a black pen: outline only.
    QByteArray nullBrush;
    put16(nullBrush, 1);
    put32(nullBrush, 0);
    put16(nullBrush, 0);
    wmf.record(0x02FC, nullBrush).pen(0, 1, qRgb(0, 0, 0)).select(2).select(3);
    wmf.record(0x0418, {95, 190, 50, 140});
    // Blue cross hatch on the opaque white background.
    QByteArray hatch;
    put16(hatch, 2);
    put32(hatch, formats_test::colourRef(qRgb(0, 0, 255)));
    put16(hatch, 4);
    wmf.record(0x02FC, hatch).select(4).rectangle(0, 65, 60, 100);
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 200, 100, 96, 5));

    EXPECT_EQ(at(picture, 10, 10), kRed);
    EXPECT_EQ(at(picture, 30, 30), kWhite) << "alternate filling leaves the hole";
    EXPECT_EQ(at(picture, 100, 30), kRed) << "winding filling fills it";
    EXPECT_EQ(at(picture, 168, 12), kRed);
    EXPECT_EQ(at(picture, 152, 28), kWhite);
    EXPECT_EQ(at(picture, 152, 12), kWhite);
    EXPECT_EQ(at(picture, 165, 72), kWhite);
    bool outline = false;
    for (int x = 138; x <= 143; ++x) {
        outline = outline || at(picture, x, 72) == 0;
    }
    EXPECT_TRUE(outline);
    int blue = 0;
    int white = 0;
    for (int y = 70; y < 95; ++y) {
        for (int x = 5; x < 55; ++x) {
            blue += at(picture, x, y) == kBlue;
            white += at(picture, x, y) == kWhite;
        }
    }
    EXPECT_GT(blue, 100);
    EXPECT_GT(white, 100);
}

TEST(MetafileReader, ClippingFollowsSavedStates) {
    WmfBuilder wmf = redFill();
    wmf.record(0x0416, {100, 50, 0, 0})  // intersect with the left half
        .record(0x001E, {})
        .record(0x0415, {20, 20, 10, 10})  // exclude a small square
        .rectangle(0, 0, 100, 100)
        .record(0x0127, {-1})
        .solidBrush(qRgb(0, 0, 255))
        .select(2)
        .rectangle(0, 40, 100, 100);
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 100, 100, 96, 3));
    EXPECT_EQ(at(picture, 15, 15), kWhite);
    EXPECT_EQ(at(picture, 30, 30), kRed);
    EXPECT_EQ(at(picture, 75, 20), kWhite);
    EXPECT_EQ(at(picture, 15, 60), kBlue) << "the exclusion ended with the restore";
    EXPECT_EQ(at(picture, 75, 60), kWhite) << "the intersection did not";
}

TEST(MetafileReader, PlaysBitmapRecords) {
    // Written by an office suite: StretchDIB in the WMF, StretchDIBits in the EMF.
    for (const QImage& picture : {formats::readWindowsMetafile(readData("lo-bitmap.wmf")),
                                  formats::readEnhancedMetafile(readData("lo-bitmap.emf"))}) {
        ASSERT_EQ(picture.size(), QSize(76, 36));
        EXPECT_EQ(at(picture, 9, 8), kRed);
        EXPECT_EQ(at(picture, 28, 8), 0x00FF00u);
        EXPECT_EQ(at(picture, 47, 8), kBlue);
        EXPECT_EQ(at(picture, 66, 8), 0u);
        EXPECT_EQ(at(picture, 38, 27), 0xFFFF00u);
    }

    // DIBStretchBlt of a 2 x 2 bitmap onto 20 x 20 pixels: its source rows count from the top.
    QImage small(2, 2, QImage::Format_RGB32);
    small.setPixel(0, 0, qRgb(255, 0, 0));
    small.setPixel(1, 0, qRgb(0, 255, 0));
    small.setPixel(0, 1, qRgb(0, 0, 255));
    small.setPixel(1, 1, qRgb(255, 255, 255));
    QByteArray blit;
    for (const int word : {0x0020, 0x00CC, 2, 2, 0, 0, 20, 20, 10, 10}) {
        put16(blit, word);
    }
    blit.append(formats_test::packedDib(small));
    WmfBuilder wmf;
    wmf.record(0x0B41, blit);
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 40, 40, 96, 0));
    EXPECT_EQ(at(picture, 14, 14), kRed);
    EXPECT_EQ(at(picture, 24, 14), 0x00FF00u);
    EXPECT_EQ(at(picture, 14, 24), kBlue);
    EXPECT_EQ(at(picture, 35, 35), kWhite);
}

TEST(MetafileReader, WmfWrittenByUsOpensAtTheSameSizeAndPixels) {
    const QImage original = formats_test::makeTestPicture(37, 23);
    const QImage read = formats::readWindowsMetafile(formats::encodeWmf(original));
    ASSERT_EQ(read.size(), original.size());
    ASSERT_EQ(read.format(), QImage::Format_BGR888);
    const formats_test::Difference difference = formats_test::compare(read, original);
    EXPECT_EQ(difference.largest, 0);
}

TEST(MetafileReader, RefusesBadFiles) {
    const QByteArray wmf = readData("lo-bitmap.wmf");
    const QByteArray emf = readData("lo-bitmap.emf");
    for (const qsizetype length :
         {qsizetype{0}, qsizetype{10}, qsizetype{30}, wmf.size() / 2, wmf.size() - 1}) {
        expectRefused([&] { return formats::readWindowsMetafile(wmf.left(length)); }, "cut WMF");
    }
    for (const qsizetype length :
         {qsizetype{0}, qsizetype{50}, qsizetype{100}, emf.size() / 2, emf.size() - 1}) {
        expectRefused([&] { return formats::readEnhancedMetafile(emf.left(length)); }, "cut EMF");
    }
    expectRefused([&] { return formats::readWindowsMetafile(emf); }, "EMF read as WMF");
    expectRefused([&] { return formats::readEnhancedMetafile(wmf); }, "WMF read as EMF");

    const WmfBuilder nothing;
    expectRefused(
        [&] { return formats::readWindowsMetafile(nothing.placeable(0, 0, 32000, 32000, 1, 0)); },
        "absurd size");
    expectRefused(
        [&] { return formats::readWindowsMetafile(nothing.placeable(0, 0, 100, 100, 0, 0)); },
        "no units per inch");
    expectRefused([&] { return formats::readWindowsMetafile(nothing.plain(0)); }, "no window");
    expectRefused(
        [&] { return formats::readEnhancedMetafile(EmfBuilder().file(2'000'000, 2'000'000, 1)); },
        "absurd EMF frame");

    // A record whose size runs past the end, and one smaller than its own header.
    for (const int words : {0x7FFFFFFF, 1}) {
        QByteArray lying = wmf;
        const qsizetype firstRecord = 22 + 18;
        lying[firstRecord] = static_cast<char>(words & 0xFF);
        lying[firstRecord + 1] = static_cast<char>((words >> 8) & 0xFF);
        lying[firstRecord + 2] = static_cast<char>((words >> 16) & 0xFF);
        lying[firstRecord + 3] = static_cast<char>((words >> 24) & 0xFF);
        expectRefused([&] { return formats::readWindowsMetafile(lying); }, "lying WMF record");
    }
    QByteArray lyingEmf = emf;
    const auto headerSize = static_cast<uchar>(emf[4]);  // the record after the header
    lyingEmf[headerSize + 4] = static_cast<char>(0xF0);
    lyingEmf[headerSize + 5] = static_cast<char>(0xFF);
    expectRefused([&] { return formats::readEnhancedMetafile(lyingEmf); }, "lying EMF record");

    // A polygon that claims more points than its record holds.
    WmfBuilder longPolygon;
    longPolygon.record(0x0324, {1000, 0, 0, 10, 10});
    expectRefused(
        [&] { return formats::readWindowsMetafile(longPolygon.placeable(0, 0, 10, 10, 96, 0)); },
        "polygon past its record");
}

TEST(MetafileReader, RefusesObjectIndicesOutsideTheTable) {
    WmfBuilder selectBeyond = redFill();
    selectBeyond.select(7);
    expectRefused(
        [&] { return formats::readWindowsMetafile(selectBeyond.placeable(0, 0, 10, 10, 96, 2)); },
        "WMF select");
    WmfBuilder deleteBeyond = redFill();
    deleteBeyond.remove(2);
    expectRefused(
        [&] { return formats::readWindowsMetafile(deleteBeyond.placeable(0, 0, 10, 10, 96, 2)); },
        "WMF delete");
    for (const int64_t index : {0, 3, 0x7FFFFFFF}) {
        EmfBuilder emf;
        emf.record(39, {index, 0, 0, 0});
        expectRefused([&] { return formats::readEnhancedMetafile(emf.file(2645, 2645, 3)); },
                      "EMF create");
        EmfBuilder select;
        select.record(37, {index});
        expectRefused([&] { return formats::readEnhancedMetafile(select.file(2645, 2645, 3)); },
                      "EMF select");
    }
    // A deleted object in range may be selected again, which changes nothing.
    WmfBuilder reselect = redFill();
    reselect.remove(0).select(0).rectangle(0, 0, 10, 10);
    EXPECT_EQ(at(formats::readWindowsMetafile(reselect.placeable(0, 0, 10, 10, 96, 2)), 5, 5),
              kRed);
}

TEST(MetafileReader, TextIsRefusedWithoutAnApplication) {
    QByteArray textOut;
    put16(textOut, 3);
    textOut.append("Mug");
    textOut.append('\0');
    put16(textOut, 10);
    put16(textOut, 10);
    WmfBuilder wmf;
    wmf.record(0x0521, textOut);
    try {
        formats::readWindowsMetafile(wmf.placeable(0, 0, 50, 50, 96, 0));
        FAIL() << "text drawn without fonts";
    } catch (const formats::FormatError& error) {
        EXPECT_NE(std::string(error.what()).find("text"), std::string::npos) << error.what();
    }
}

TEST(MetafileReader, SkipsRecordsItCannotUseButRefusesFilesThatDrawNothing) {
    // An unknown record, a brush record too short for its colour and a record naming an
    // object outside the table are skipped. The short brush still takes its slot, so the
    // blue brush after it is found in slot 3.
    WmfBuilder wmf = redFill();
    wmf.record(0x0999, {1, 2, 3}).record(0x02FC, {0}).solidBrush(qRgb(0, 0, 255));
    wmf.select(9).select(3).rectangle(0, 0, 10, 10);
    EXPECT_EQ(at(formats::readWindowsMetafile(wmf.placeable(0, 0, 10, 10, 96, 2)), 5, 5), kBlue);
    EmfBuilder emf;
    emf.record(250, {1, 2})
        .record(39, {1, 0, formats_test::colourRef(qRgb(255, 0, 0)), 0})
        .record(37, {1})
        .record(37, {0x80000008})
        .record(76, {1, 2, 3})
        .record(43, {10, 10, 90, 90});
    EXPECT_EQ(at(formats::readEnhancedMetafile(emf.file(2645, 2645, 2)), 50, 50), kRed);

    // A file whose only drawing is a damaged bitmap is refused with what is wrong with it.
    QByteArray bitmap = readData("lo-bitmap.wmf");
    bitmap[964] = 8;  // 24 bits per pixel become 8, whose colour table the record lacks
    try {
        formats::readWindowsMetafile(bitmap);
        FAIL() << "a metafile with nothing drawable opened";
    } catch (const formats::FormatError& error) {
        EXPECT_NE(std::string(error.what()).find("colour table is cut short"), std::string::npos)
            << error.what();
    }
    WmfBuilder nothing;
    nothing.record(0x0201, {0, 0});
    expectRefused(
        [&] { return formats::readWindowsMetafile(nothing.placeable(0, 0, 9, 9, 96, 0)); },
        "WMF drawing nothing");
    EmfBuilder unknown;
    unknown.record(250, {1});
    expectRefused([&] { return formats::readEnhancedMetafile(unknown.file(2645, 2645, 1)); },
                  "EMF drawing nothing");
}

TEST(MetafileReader, PlaysTheOlderBlitRecordsPixelForPixel) {
    WmfBuilder wmf;
    wmf.record(0x0209, {0x00FF, 0}).record(0x0201, {0, 0x00FF});  // red text, blue background
    // BitBlt of a 16 x 2 one-bit bitmap: 0 bits take the text colour, 1 bits the background.
    QByteArray mono;
    for (const int word : {0x0020, 0x00CC, 0, 0, 2, 16, 10, 10, 0, 16, 2, 2, 0x0101}) {
        put16(mono, word);
    }
    mono.append("\xF0\x0F\x00\xFF", 4);
    wmf.record(0x0922, mono);
    // StretchBlt of a 2 x 2 24-bit bitmap (with the old address field) onto 20 x 20 pixels.
    QByteArray colour;
    for (const int word : {0x0020, 0x00CC, 2, 2, 0, 0, 20, 20, 50, 50, 0, 2, 2, 6, 0x1801}) {
        put16(colour, word);
    }
    colour.append("\x01\x02\x03\x04", 4);
    colour.append(
        "\x00\x00\xFF\x00\xFF\x00"
        "\xFF\x00\x00\x80\x80\x80",
        12);
    wmf.record(0x0B23, colour);
    // The blit without a bitmap: pattern xor destination with a red brush over white.
    wmf.solidBrush(qRgb(255, 0, 0)).select(0);
    wmf.record(0x0922, {0x0049, 0x005A, 0, 0, 0, 10, 10, 80, 0});
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 100, 100, 96, 1));
    EXPECT_EQ(at(picture, 10, 10), kBlue);
    EXPECT_EQ(at(picture, 13, 10), kBlue);
    EXPECT_EQ(at(picture, 14, 10), kRed);
    EXPECT_EQ(at(picture, 21, 10), kRed);
    EXPECT_EQ(at(picture, 22, 10), kBlue);
    EXPECT_EQ(at(picture, 17, 11), kRed);
    EXPECT_EQ(at(picture, 18, 11), kBlue);
    EXPECT_EQ(at(picture, 26, 11), kWhite);
    EXPECT_EQ(at(picture, 50, 50), kRed);
    EXPECT_EQ(at(picture, 69, 50), 0x00FF00u);
    EXPECT_EQ(at(picture, 50, 69), kBlue);
    EXPECT_EQ(at(picture, 69, 69), 0x808080u);
    EXPECT_EQ(at(picture, 70, 70), kWhite);
    EXPECT_EQ(at(picture, 5, 85), 0x00FFFFu);
    EXPECT_EQ(at(picture, 5, 95), kWhite);
}

TEST(MetafileReader, RegionsClipFillsAndAreFilledFramedAndInverted) {
    // Two scans: x 10..30 on rows 10..20, x 40..90 on rows 50..60.
    QByteArray region;
    for (const int word :
         {0, 6, 0, 0, 0, 2, 4, 10, 10, 90, 60, 2, 10, 20, 10, 30, 2, 2, 50, 60, 40, 90, 2}) {
        put16(region, word);
    }
    WmfBuilder wmf = redFill();
    wmf.record(0x06FF, region).record(0x012C, {2}).rectangle(0, 0, 100, 100);
    wmf.solidBrush(qRgb(0, 0, 255)).select(3).record(0x012C, {0}).rectangle(0, 90, 100, 100);
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 100, 100, 96, 2));
    EXPECT_EQ(at(picture, 15, 15), kRed);
    EXPECT_EQ(at(picture, 29, 19), kRed);
    EXPECT_EQ(at(picture, 35, 15), kWhite);
    EXPECT_EQ(at(picture, 60, 55), kRed);
    EXPECT_EQ(at(picture, 20, 55), kWhite);
    EXPECT_EQ(at(picture, 50, 35), kWhite);
    EXPECT_EQ(at(picture, 50, 95), kBlue) << "selecting a brush as clip region lifts the clip";

    // EMF: a clip region of one rectangle in device pixels, then a fill of the whole frame.
    EmfBuilder emf;
    emf.record(75, {48, 5, 32, 1, 1, 16, 20, 20, 40, 40, 20, 20, 40, 40})
        .record(39, {1, 0, formats_test::colourRef(qRgb(255, 0, 0)), 0})
        .record(37, {1})
        .record(37, {0x80000008})
        .record(43, {0, 0, 100, 100});
    const QImage clipped = formats::readEnhancedMetafile(emf.file(2645, 2645, 2));
    EXPECT_EQ(at(clipped, 30, 30), kRed);
    EXPECT_EQ(at(clipped, 50, 30), kWhite);
    EXPECT_EQ(at(clipped, 30, 10), kWhite);

    // EMF region drawing: a fill with a brush of the table, a 2-pixel frame with the stock
    // black brush, and an inversion.
    // Parameters before the region data, then the data of a one-rectangle region.
    const auto withRegion = [](std::initializer_list<int64_t> head, int left, int top, int right,
                               int bottom) {
        QByteArray out;
        for (const int64_t value : head) {
            put32(out, value);
        }
        for (const int value : {32, 1, 1, 16, left, top, right, bottom, left, top, right, bottom}) {
            put32(out, value);
        }
        return out;
    };
    EmfBuilder regions;
    regions.record(39, {1, 0, formats_test::colourRef(qRgb(255, 0, 0)), 0})
        .record(71, withRegion({0, 0, 0, 0, 48, 1}, 10, 10, 50, 50))
        .record(72, withRegion({0, 0, 0, 0, 48, 0x80000004, 2, 2}, 60, 10, 90, 40))
        .record(73, withRegion({0, 0, 0, 0, 48}, 10, 60, 40, 90));
    const QImage drawn = formats::readEnhancedMetafile(regions.file(2645, 2645, 2));
    EXPECT_EQ(at(drawn, 30, 30), kRed);
    EXPECT_EQ(at(drawn, 55, 30), kWhite);
    EXPECT_EQ(at(drawn, 60, 20), 0u);
    EXPECT_EQ(at(drawn, 75, 38), 0u);
    EXPECT_EQ(at(drawn, 75, 25), kWhite);
    EXPECT_EQ(at(drawn, 25, 75), 0u);
    EXPECT_EQ(at(drawn, 45, 75), kWhite);
}

TEST(MetafileReader, MixModesCombineTheBrushWithThePicture) {
    // Blue over the top half, then a red band in each mix mode over blue and white.
    WmfBuilder wmf = redFill();
    wmf.solidBrush(qRgb(0, 0, 255)).select(2).rectangle(0, 0, 60, 20).select(0);
    const int modes[] = {7, 6, 1, 16, 11, 13};  // xor, not, black, white, nop, copy
    for (int band = 0; band < 6; ++band) {
        wmf.record(0x0104, {modes[band]}).rectangle(band * 10, 0, band * 10 + 10, 40);
    }
    const QImage picture = formats::readWindowsMetafile(wmf.placeable(0, 0, 60, 40, 96, 3));
    const QRgb overBlue[] = {0xFF00FF, 0xFFFF00, 0, kWhite, kBlue, kRed};
    const QRgb overWhite[] = {0x00FFFF, 0, 0, kWhite, kWhite, kRed};
    for (int band = 0; band < 6; ++band) {
        EXPECT_EQ(at(picture, band * 10 + 5, 10), overBlue[band]) << "mode " << modes[band];
        EXPECT_EQ(at(picture, band * 10 + 5, 30), overWhite[band]) << "mode " << modes[band];
    }
}

}  // namespace
