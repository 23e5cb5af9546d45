// The GIF and metafile writers, read back: the GIF by our reader, the metafile's bitmap record
// by a small walk over its records.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"
#include "formats/gif_writer.h"
#include "formats/picture_file.h"
#include "formats/png_writer.h"
#include "formats/readers/format_readers.h"
#include "formats/wmf_writer.h"
#include "test_pictures.h"

namespace {

uint32_t little16(const QByteArray& bytes, qsizetype at) {
    return static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8);
}
uint32_t little32(const QByteArray& bytes, qsizetype at) {
    return little16(bytes, at) | (little16(bytes, at + 2) << 16);
}

QRgb pixelOf(const QImage& picture, int x, int y) {
    const uchar* at = picture.constScanLine(y) + 3 * x;
    return qRgb(at[2], at[1], at[0]);
}

int level(int channel) {
    // The level below, unless at most 3 short of the next one.
    for (int next = 5; next > 0; --next) {
        if (channel >= 51 * next - 3) {
            return next;
        }
    }
    return 0;
}

TEST(GifWriter, MapsEveryColourToTheCubeWithoutDithering) {
    EXPECT_EQ(formats::gifPaletteIndex(200, 100, 50), 121);
    EXPECT_EQ(formats::gifPaletteIndex(201, 0, 255), 36 * 4 + 5);
    EXPECT_EQ(formats::gifPaletteIndex(47, 48, 152), 0 * 36 + 6 * 1 + 3);

    // Every channel value appears in every channel across the picture.
    QImage picture(256, 3, QImage::Format_BGR888);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 3; ++y) {
            uchar* at = picture.scanLine(y) + 3 * x;
            at[0] = static_cast<uchar>(y == 0 ? x : 255 - x);  // blue
            at[1] = static_cast<uchar>(y == 1 ? x : (x * 7) % 256);
            at[2] = static_cast<uchar>(y == 2 ? x : (x * 13) % 256);
        }
    }
    picture.scanLine(1)[3 * 10 + 2] = 200;  // (200, 100, 50) at (10, 1)
    picture.scanLine(1)[3 * 10 + 1] = 100;
    picture.scanLine(1)[3 * 10] = 50;

    const QByteArray gif = formats::encodeGif(picture);
    ASSERT_TRUE(gif.startsWith("GIF8"));
    EXPECT_EQ(little16(gif, 6), 256u);
    EXPECT_EQ(little16(gif, 8), 3u);
    EXPECT_EQ(static_cast<uint8_t>(gif[10]) & 0x87, 0x87);  // global table of 256 entries
    const auto* table = reinterpret_cast<const uchar*>(gif.constData()) + 13;
    EXPECT_EQ(qRgb(table[3 * 121], table[3 * 121 + 1], table[3 * 121 + 2]), qRgb(153, 102, 51));

    const QImage decoded = formats::readGif(gif);
    ASSERT_EQ(decoded.size(), picture.size());
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 256; ++x) {
            const QRgb in = pixelOf(picture, x, y);
            const QRgb expected =
                qRgb(51 * level(qRed(in)), 51 * level(qGreen(in)), 51 * level(qBlue(in)));
            ASSERT_EQ(pixelOf(decoded, x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(pixelOf(decoded, 10, 1), qRgb(153, 102, 51));
    EXPECT_THROW(formats::encodeGif(QImage()), formats::FormatError);
}

// The bitmap of the metafile's one META_STRETCHDIB record, with the record's source and
// destination sizes; checks the headers on the way.
struct StretchRecord {
    QSize source;
    QSize destination;
    QImage bitmap;
};

StretchRecord bitmapRecordOf(const QByteArray& wmf) {
    StretchRecord found;
    EXPECT_EQ(little32(wmf, 0), 0x9AC6CDD7u);
    uint16_t checksum = 0;
    for (int i = 0; i < 20; i += 2) {
        checksum ^= static_cast<uint16_t>(little16(wmf, i));
    }
    EXPECT_EQ(little16(wmf, 20), checksum);
    const qsizetype header = 22;
    EXPECT_EQ(little16(wmf, header + 2), 9u);
    EXPECT_EQ(little32(wmf, header + 6) * 2, static_cast<uint32_t>(wmf.size() - header));
    qsizetype at = header + 18;
    bool ended = false;
    while (at + 6 <= wmf.size() && !ended) {
        const qsizetype words = little32(wmf, at);
        const uint32_t function = little16(wmf, at + 4);
        if (function == 0x0F43) {
            EXPECT_EQ(little32(wmf, at + 6), 0x00CC0020u);  // copy
            found.source = QSize(little16(wmf, at + 14), little16(wmf, at + 12));
            found.destination = QSize(little16(wmf, at + 22), little16(wmf, at + 20));
            const QByteArray dib = wmf.mid(at + 28, words * 2 - 28);
            QByteArray bmp("BM", 2);
            bmp.append(QByteArray(12, '\0'));
            bmp[10] = 54;  // rows right after the 40-byte header
            found.bitmap = formats::readBmp(bmp + dib);
        }
        ended = function == 0 && words == 3;
        at += words * 2;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(at, wmf.size());
    return found;
}

TEST(WmfWriter, HoldsThePictureAsOneBitmapRecordAtItsSize) {
    const QImage picture = formats_test::makeTestPicture(37, 21);
    const QByteArray wmf = formats::encodeWmf(picture);
    EXPECT_EQ(little16(wmf, 10), 37u);  // bounding box right, bottom
    EXPECT_EQ(little16(wmf, 12), 21u);
    const StretchRecord record = bitmapRecordOf(wmf);
    EXPECT_EQ(record.source, QSize(37, 21));
    EXPECT_EQ(record.destination, QSize(37, 21));
    EXPECT_EQ(record.bitmap, picture);
    // And the metafile reader plays it back to the same picture.
    EXPECT_EQ(formats::readWindowsMetafile(wmf), picture);
    EXPECT_EQ(formats::decodePicture(wmf, "face.wmf"), picture);

    EXPECT_EQ(formats::encodeForFileName(picture, "face.WMF"), wmf);
    EXPECT_EQ(formats::encodeForFileName(picture, "face.gif"), formats::encodeGif(picture));
    EXPECT_THROW(formats::encodeWmf(QImage()), formats::FormatError);
    EXPECT_THROW(formats::encodeWmf(QImage(32768, 1, QImage::Format_BGR888)), formats::FormatError);
}

}  // namespace

TEST(PngWriter, RoundTripIsExact) {
    // Odd widths leave padding at each row's end; a one-pixel picture has no neighbours.
    for (const QSize size : {QSize(1, 1), QSize(37, 23), QSize(3, 200)}) {
        QImage picture(size, QImage::Format_BGR888);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                picture.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) * 5 % 256));
            }
        }
        const QByteArray png = formats::encodePng(picture);
        ASSERT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(formats::decodePicture(png, "round.png"), picture) << size.width();
        EXPECT_EQ(formats::encodeForFileName(picture, "x.PNG"), png);
    }
    EXPECT_THROW(formats::encodePng(QImage()), formats::FormatError);
}
