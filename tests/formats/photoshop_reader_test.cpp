// The Photoshop reader on a file from another program and on files built here per mode.
#include <gtest/gtest.h>

#include <QFile>
#include <array>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/photoshop_reader.h"
#include "test_pictures.h"

namespace {

using formats::decodePicture;
using formats::readPhotoshop;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

QByteArray big(uint64_t value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(value >> (8 * (size - 1 - i)));
    }
    return bytes;
}

// Header, colour mode data, empty resources and layers, then compression and `pixels`.
QByteArray psd(int channels, int width, int height, int depth, int mode, int compression,
               const QByteArray& pixels, const QByteArray& modeData = {}) {
    return "8BPS" + big(1, 2) + QByteArray(6, '\0') + big(channels, 2) + big(height, 4) +
           big(width, 4) + big(depth, 2) + big(mode, 2) + big(modeData.size(), 4) + modeData +
           big(0, 4) + big(0, 4) + big(compression, 2) + pixels;
}

// A large document (version 2): 64-bit layer section length, 32-bit packed row lengths.
QByteArray psb(int channels, int width, int height, int compression, const QByteArray& pixels) {
    return "8BPS" + big(2, 2) + QByteArray(6, '\0') + big(channels, 2) + big(height, 4) +
           big(width, 4) + big(8, 2) + big(3, 2) + big(0, 4) + big(0, 4) + big(0, 8) +
           big(compression, 2) + pixels;
}

// ImageMagick's 29 x 17 large documents, packed and raw, against its own decoding of them. The
// names given carry no known extension, so the loader goes by the file's first bytes.
TEST(PhotoshopReader, OpensLargeDocumentsByContent) {
    const QImage reference = formats::readPortableMap(readData("im-small-psb-reference.ppm"));
    ASSERT_EQ(reference.size(), QSize(29, 17));
    for (const char* name : {"im-small-rle.psb", "im-small-raw.psb"}) {
        const QImage picture = decodePicture(readData(name), "picture.xyz");
        ASSERT_EQ(picture.size(), QSize(29, 17)) << name;
        EXPECT_TRUE(picture == reference) << name;
        EXPECT_EQ(rgbAt(picture, 28, 16), rgbAt(reference, 28, 16)) << name;
    }
    // Version 1 opens by content too.
    EXPECT_EQ(decodePicture(readData("im-b.psd"), "picture.xyz").size(), QSize(200, 150));
}

TEST(PhotoshopReader, ReadsThirtyTwoBitRowLengthsOfLargeDocuments) {
    // Grey, 1 x 2. The first row's length, 65538, does not fit in 16 bits: the row is a
    // literal 7 followed by no-op codes, and the second row starts only after all of them.
    QByteArray pixels =
        big(0x10002, 4) + big(2, 4) + QByteArray("\x00\x07", 2) + QByteArray(0x10000, '\x80');
    pixels += QByteArray("\x00\x09", 2);
    const QByteArray grey = "8BPS" + big(2, 2) + QByteArray(6, '\0') + big(1, 2) + big(2, 4) +
                            big(1, 4) + big(8, 2) + big(1, 2) + big(0, 4) + big(0, 4) + big(0, 8) +
                            big(1, 2) + pixels;
    const QImage picture = readPhotoshop(grey);
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{7, 7, 7}));
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{9, 9, 9}));
    // The 64-bit layer section length is skipped whole.
    QByteArray layered = psb(3, 1, 1, 0, "abc");
    layered.replace(34, 8, big(3, 8) + "xyz");
    EXPECT_EQ(rgbAt(readPhotoshop(layered), 0, 0), (Rgb{'a', 'b', 'c'}));
}

TEST(PhotoshopReader, RefusesBrokenLargeDocuments) {
    const QByteArray packed = readData("im-small-rle.psb");
    const QByteArray raw = readData("im-small-raw.psb");
    ASSERT_NO_THROW(readPhotoshop(packed));
    ASSERT_NO_THROW(readPhotoshop(raw));
    for (const QByteArray& file : {packed, raw}) {
        EXPECT_THROW(decodePicture(file.left(file.size() - 1), "a.xyz"), formats::FormatError);
        EXPECT_THROW(decodePicture(file.left(40), "a.xyz"), formats::FormatError);
        // Version 3 is unknown: neither the content check nor the reader takes it.
        QByteArray version3 = file;
        version3[5] = 3;
        EXPECT_THROW(decodePicture(version3, "a.xyz"), formats::FormatError);
        EXPECT_THROW(readPhotoshop(version3), formats::FormatError);
        // Sides up to 300000 are allowed in the format, but beyond what we edit.
        QByteArray wide = file;
        wide.replace(18, 4, big(300000, 4));
        EXPECT_THROW(decodePicture(wide, "a.xyz"), formats::FormatError);
    }
    // A layer section length beyond the end, in its high or low half.
    const QByteArray good = psb(3, 1, 1, 0, "abc");
    ASSERT_NO_THROW(readPhotoshop(good));
    QByteArray lying = good;
    lying.replace(34, 8, big(1, 4) + big(0, 4));
    EXPECT_THROW(readPhotoshop(lying), formats::FormatError);
    lying.replace(34, 8, big(0, 4) + big(6, 4));
    EXPECT_THROW(readPhotoshop(lying), formats::FormatError);
    // Packed row lengths beyond the data; 16-bit lengths where 32-bit ones belong.
    EXPECT_THROW(readPhotoshop(psb(1, 3, 1, 1, big(0x10000002, 4) + "\xfe\x07")),
                 formats::FormatError);
    EXPECT_THROW(readPhotoshop(psb(3, 1, 1, 1,
                                   big(2, 2) + big(2, 2) + big(2, 2) + QByteArray("\0a\0b\0c", 6))),
                 formats::FormatError);
    // The first row's length in the file read from the wrong place.
    QByteArray badRow = packed;
    const qsizetype counts = packed.size() - 1345 + 2;
    badRow.replace(counts, 4, big(0xffffff00, 4));
    EXPECT_THROW(readPhotoshop(badRow), formats::FormatError);
}

TEST(PhotoshopReader, ReadsFileOfAnotherProgramLikeImageMagick) {
    // Values from ImageMagick's decode of the same file.
    const QImage picture = readPhotoshop(readData("im-b.psd"));
    ASSERT_EQ(picture.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{59, 36, 4}));
    EXPECT_EQ(rgbAt(picture, 100, 75), (Rgb{138, 115, 80}));
    EXPECT_EQ(rgbAt(picture, 199, 149), (Rgb{217, 214, 217}));
}

TEST(PhotoshopReader, ReadsTheColourModes) {
    // RGB with a fourth (alpha) channel that is left out.
    const QImage rgb =
        readPhotoshop(psd(4, 2, 1, 8, 3, 0, QByteArray("\x01\x02\x03\x04\x05\x06\xff\xff", 8)));
    EXPECT_EQ(rgbAt(rgb, 1, 0), (Rgb{2, 4, 6}));
    // 16-bit grey: the high byte.
    EXPECT_EQ(rgbAt(readPhotoshop(psd(1, 1, 1, 16, 1, 0, QByteArray("\x9a\xbc", 2))), 0, 0),
              (Rgb{0x9a, 0x9a, 0x9a}));
    // Indexed: the mode data holds 256 reds, then greens, then blues.
    QByteArray palette(768, '\0');
    palette[3] = 10;
    palette[256 + 3] = 20;
    palette[512 + 3] = 30;
    EXPECT_EQ(rgbAt(readPhotoshop(psd(1, 1, 1, 8, 2, 0, "\x03", palette)), 0, 0),
              (Rgb{10, 20, 30}));
    // CMYK stores 255 minus the ink: no cyan, full magenta, half yellow, no black.
    EXPECT_EQ(rgbAt(readPhotoshop(psd(4, 1, 1, 8, 4, 0, QByteArray("\xff\x00\x80\xff", 4))), 0, 0),
              (Rgb{255, 0, 128}));
    // Bitmap mode: 1 is black.
    const QImage bits = readPhotoshop(psd(1, 2, 1, 1, 0, 0, "\x80"));
    EXPECT_EQ(rgbAt(bits, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(bits, 1, 0), (Rgb{255, 255, 255}));
}

TEST(PhotoshopReader, ReadsPackBitsRows) {
    // Grey, 3 x 2: row lengths 2 and 4; a repeat of 3, then a literal of 3.
    const QImage grey = readPhotoshop(
        psd(1, 3, 2, 8, 1, 1, big(2, 2) + big(4, 2) + QByteArray("\xfe\x07\x02\x01\x02\x03", 6)));
    EXPECT_EQ(rgbAt(grey, 2, 0), (Rgb{7, 7, 7}));
    EXPECT_EQ(rgbAt(grey, 2, 1), (Rgb{3, 3, 3}));
}

TEST(PhotoshopReader, RefusesBrokenFiles) {
    const QByteArray good = psd(3, 1, 1, 8, 3, 0, "abc");
    ASSERT_NO_THROW(readPhotoshop(good));
    EXPECT_THROW(readPhotoshop(good.left(good.size() - 1)), formats::FormatError);
    EXPECT_THROW(readPhotoshop("8BPX" + good.mid(4)), formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(2, 1, 1, 8, 3, 0, "abc")), formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(3, 1, 1, 8, 9, 0, "abc")), formats::FormatError);  // Lab
    EXPECT_THROW(readPhotoshop(psd(3, 1, 1, 8, 3, 2, "abc")), formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(3, 100000, 1, 8, 3, 0, "abc")), formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(1, 1, 1, 8, 2, 0, "\x03", QByteArray(10, '\0'))),
                 formats::FormatError);  // palette too short
    // A section length beyond the end, row lengths beyond the data, a run past the row.
    QByteArray lying = good;
    lying.replace(26, 4, big(0x7fffffff, 4));
    EXPECT_THROW(readPhotoshop(lying), formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(1, 3, 1, 8, 1, 1, big(900, 2) + "\x02\x01\x02\x03")),
                 formats::FormatError);
    EXPECT_THROW(readPhotoshop(psd(1, 3, 1, 8, 1, 1, big(2, 2) + "\xfb\x07")),
                 formats::FormatError);
}

}  // namespace
