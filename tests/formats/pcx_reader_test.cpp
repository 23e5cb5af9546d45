// The PCX reader on files from another program and on files built here for each layout.
#include <gtest/gtest.h>

#include <QFile>
#include <array>
#include <initializer_list>
#include <vector>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/pcx_reader.h"
#include "test_pictures.h"

namespace {

using formats::decodePicture;
using formats::readPcx;
using formats_test::bytes;
using formats_test::putLittle32;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

// A 128-byte header; `palette` fills the 16 header colours.
QByteArray pcx(int bits, int planes, int width, int height, int lineBytes, bool runLength,
               const QByteArray& palette = {}) {
    QByteArray header(128, '\0');
    header[0] = 0x0a;
    header[1] = 5;
    header[2] = runLength ? 1 : 0;
    header[3] = static_cast<char>(bits);
    header[8] = static_cast<char>(width - 1);
    header[9] = static_cast<char>((width - 1) >> 8);
    header[10] = static_cast<char>(height - 1);
    header[11] = static_cast<char>((height - 1) >> 8);
    header.replace(16, palette.size(), palette);
    header[65] = static_cast<char>(planes);
    header[66] = static_cast<char>(lineBytes);
    return header;
}

TEST(PcxReader, ReadsFilesOfAnotherProgramLikeImageMagick) {
    // Values from ImageMagick's decode of the same files.
    const QImage colour = readPcx(readData("im-b.pcx"));
    ASSERT_EQ(colour.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(colour, 0, 0), (Rgb{59, 36, 4}));
    EXPECT_EQ(rgbAt(colour, 100, 75), (Rgb{138, 115, 80}));
    EXPECT_EQ(rgbAt(colour, 199, 149), (Rgb{217, 214, 217}));
    const QImage indexed = readPcx(readData("im-b-8bit.pcx"));
    ASSERT_EQ(indexed.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(indexed, 0, 0), (Rgb{56, 36, 7}));
    EXPECT_EQ(rgbAt(indexed, 100, 75), (Rgb{137, 113, 78}));
    EXPECT_EQ(rgbAt(indexed, 199, 149), (Rgb{220, 212, 212}));
}

TEST(PcxReader, ReadsPlanarIndexedLayouts) {
    // One bit, one plane, palette left empty: black and white. 0xc1 is a run of one.
    const QImage mono = readPcx(pcx(1, 1, 3, 1, 2, true) + bytes({0xc1, 0xa0, 0x00}));
    EXPECT_EQ(rgbAt(mono, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(mono, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(mono, 2, 0), (Rgb{255, 255, 255}));
    // Four planes of one bit: the first plane holds the lowest bit of the index.
    QByteArray palette(48, '\0');
    palette[5 * 3] = 50;        // colour 5 = (50, 0, 0)
    palette[10 * 3 + 1] = 100;  // colour 10 = (0, 100, 0)
    const QImage planes =
        readPcx(pcx(1, 4, 2, 1, 2, false, palette) + bytes({0x80, 0, 0x40, 0, 0x80, 0, 0x40, 0}));
    EXPECT_EQ(rgbAt(planes, 0, 0), (Rgb{50, 0, 0}));
    EXPECT_EQ(rgbAt(planes, 1, 0), (Rgb{0, 100, 0}));
}

TEST(PcxReader, ReadsEndPaletteAndThreePlanesWithRunsAcrossLines) {
    QByteArray end = bytes({12});
    for (int i = 0; i < 256; ++i) {
        end += bytes({i, 255 - i, 7});
    }
    const QImage indexed = readPcx(pcx(8, 1, 2, 2, 2, true) + bytes({0xc3, 9, 0xc1, 200}) + end);
    EXPECT_EQ(rgbAt(indexed, 1, 0), (Rgb{9, 246, 7}));
    EXPECT_EQ(rgbAt(indexed, 0, 1), (Rgb{9, 246, 7}));
    EXPECT_EQ(rgbAt(indexed, 1, 1), (Rgb{200, 55, 7}));
    const QImage colour = readPcx(pcx(8, 3, 1, 2, 1, true) + bytes({0xc6, 33}));
    EXPECT_EQ(rgbAt(colour, 0, 1), (Rgb{33, 33, 33}));
    const QImage planes = readPcx(pcx(8, 3, 2, 1, 2, false) + bytes({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(rgbAt(planes, 1, 0), (Rgb{2, 4, 6}));
}

// A DCX file: the magic, the page offsets ending with 0, then the pages one after the other.
QByteArray dcx(const std::vector<QByteArray>& pages) {
    QByteArray file = bytes({0xb1, 0x68, 0xde, 0x3a});
    qsizetype at = 4 + 4 * (static_cast<qsizetype>(pages.size()) + 1);
    for (const QByteArray& page : pages) {
        file += QByteArray(4, '\0');
        putLittle32(file, file.size() - 4, static_cast<uint32_t>(at));
        at += page.size();
    }
    file += QByteArray(4, '\0');
    for (const QByteArray& page : pages) {
        file += page;
    }
    return file;
}

// An 8-bit 1 x 1 page of colour 5, which its closing palette makes (red, green, blue).
QByteArray palettePage(int red, int green, int blue) {
    QByteArray end(1 + 256 * 3, '\0');
    end[0] = 12;
    end[1 + 5 * 3] = static_cast<char>(red);
    end[2 + 5 * 3] = static_cast<char>(green);
    end[3 + 5 * 3] = static_cast<char>(blue);
    return pcx(8, 1, 1, 1, 1, false) + bytes({5}) + end;
}

// ImageMagick's two-page file, whose first page is the 29 x 17 picture of its large-document
// files and whose second is its negative. The name has no known extension, so the loader goes by
// the file's first bytes.
TEST(PcxReader, OpensFirstPageOfMultiPageFileByContent) {
    const QImage reference = formats::readPortableMap(readData("im-small-psb-reference.ppm"));
    ASSERT_EQ(reference.size(), QSize(29, 17));
    const QByteArray file = readData("im-small-two-pages.dcx");
    const QImage picture = decodePicture(file, "pages.xyz");
    ASSERT_EQ(picture.size(), QSize(29, 17));
    EXPECT_TRUE(picture == reference);
    EXPECT_EQ(rgbAt(picture, 28, 16), rgbAt(reference, 28, 16));
    // Named as a single PCX it opens just the same.
    EXPECT_TRUE(decodePicture(file, "pages.pcx") == reference);
}

TEST(PcxReader, EndsTheFirstPageAtTheNextOne) {
    // Each page's closing palette is found at the end of that page, not of the file.
    const QImage first = readPcx(dcx({palettePage(1, 2, 3), palettePage(7, 8, 9)}));
    EXPECT_EQ(rgbAt(first, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(rgbAt(readPcx(dcx({palettePage(4, 5, 6)})), 0, 0), (Rgb{4, 5, 6}));
}

TEST(PcxReader, RefusesBrokenMultiPageFiles) {
    const QByteArray page = palettePage(1, 2, 3);
    const QByteArray good = dcx({page, page});
    ASSERT_NO_THROW(decodePicture(good, "a.xyz"));
    const QByteArray file = readData("im-small-two-pages.dcx");
    ASSERT_NO_THROW(decodePicture(file, "a.xyz"));
    auto refused = [](const QByteArray& data) {
        EXPECT_THROW(decodePicture(data, "a.xyz"), formats::FormatError);
        EXPECT_THROW(readPcx(data), formats::FormatError);
    };
    // Truncated: in the table; before the second page, whose offset is then past the end; in
    // the only page.
    refused(good.left(10));
    refused(bytes({0xb1, 0x68, 0xde, 0x3a}));
    refused(file.left(4200));
    QByteArray single = file;
    putLittle32(single, 8, 0);
    ASSERT_NO_THROW(readPcx(single));
    refused(single.left(4100 + 300));
    const QByteArray onePage = dcx({page});
    refused(onePage.left(onePage.size() - 800));
    // An empty table.
    refused(bytes({0xb1, 0x68, 0xde, 0x3a, 0, 0, 0, 0}) + page);
    // The first page past the end, at the end, inside the table; the second before the first.
    QByteArray bad = good;
    putLittle32(bad, 4, static_cast<uint32_t>(good.size() + 10));
    refused(bad);
    putLittle32(bad, 4, static_cast<uint32_t>(good.size()));
    refused(bad);
    putLittle32(bad, 4, 0xffffffff);
    refused(bad);
    putLittle32(bad, 4, 4);
    refused(bad);
    bad = good;
    putLittle32(bad, 8, 16);
    refused(bad);
    bad = good;
    putLittle32(bad, 8, static_cast<uint32_t>(good.size() + 1));
    refused(bad);
    // A table of 1024 offsets with no end; a first page that is no PCX.
    QByteArray endless = bytes({0xb1, 0x68, 0xde, 0x3a});
    for (int i = 0; i < 1024; ++i) {
        endless += bytes({0x10, 0x10, 0, 0});
    }
    refused(endless + page);
    bad = good;
    bad[16] = 0x0b;
    refused(bad);
}

TEST(PcxReader, RefusesBrokenFiles) {
    const QByteArray good = pcx(8, 3, 2, 1, 2, false) + bytes({1, 2, 3, 4, 5, 6});
    ASSERT_NO_THROW(readPcx(good));
    EXPECT_THROW(readPcx(good.left(100)), formats::FormatError);
    EXPECT_THROW(readPcx(good.left(good.size() - 1)), formats::FormatError);
    QByteArray wrongMagic = good;
    wrongMagic[0] = 0x0b;
    EXPECT_THROW(readPcx(wrongMagic), formats::FormatError);
    EXPECT_THROW(readPcx(pcx(8, 2, 2, 1, 2, false) + QByteArray(4, '\0')), formats::FormatError);
    EXPECT_THROW(readPcx(pcx(8, 3, 2, 1, 1, false) + QByteArray(6, '\0')), formats::FormatError);
    EXPECT_THROW(readPcx(pcx(8, 3, 30001, 1, 30001 & 0xffff, true)), formats::FormatError);
    QByteArray huge = pcx(8, 1, 20000, 20000, 0, true);
    huge[66] = static_cast<char>(20000 & 0xff);
    huge[67] = static_cast<char>(20000 >> 8);
    EXPECT_THROW(readPcx(huge + bytes({0xff, 0})), formats::FormatError);
    // No planes hold no pixels: a large picture out of a header alone.
    EXPECT_THROW(readPcx(pcx(1, 0, 5000, 5000, 625, true)), formats::FormatError);
}

}  // namespace
