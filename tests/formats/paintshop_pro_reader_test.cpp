// The Paintshop Pro reader on files built here from the published block layout.
#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <vector>

#include "formats/format_error.h"
#include "formats/readers/paintshop_pro_reader.h"
#include "test_pictures.h"

namespace {

using formats::readPaintShopPro;
using formats_test::Rgb;
using formats_test::rgbAt;

QByteArray little(uint32_t value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

QByteArray block(int kind, const QByteArray& payload) {
    return QByteArray("~BK\0", 4) + little(kind, 2) + little(payload.size(), 4) + payload;
}

QByteArray deflated(const QByteArray& plain) {
    std::vector<Bytef> packed(compressBound(plain.size()));
    uLongf length = packed.size();
    compress(packed.data(), &length, reinterpret_cast<const Bytef*>(plain.constData()),
             plain.size());
    return QByteArray(reinterpret_cast<const char*>(packed.data()), static_cast<int>(length));
}

// A channel block; compression 0 stores, 2 deflates.
QByteArray channel(int type, const QByteArray& samples, int compression) {
    const QByteArray packed = compression == 2 ? deflated(samples) : samples;
    return block(5, little(16, 4) + little(packed.size(), 4) + little(samples.size(), 4) +
                        little(0, 2) + little(type, 2) + packed);
}

// The signature, version 5, then a composite image bank holding one composite image.
QByteArray psp(int width, int height, int depth, int compression, const QByteArray& contents,
               bool thumbnailOnly = false) {
    const QByteArray attributes =
        block(17, little(24, 4) + little(width, 4) + little(height, 4) + little(depth, 2) +
                      little(compression, 2) + little(1, 2) + little(0, 4) +
                      little(thumbnailOnly ? 1 : 0, 2));
    const QByteArray image = block(9, little(8, 4) + little(1, 2) + little(3, 2) + contents);
    const QByteArray bank = block(16, little(8, 4) + little(1, 4) + attributes + image);
    QByteArray head("Paint Shop Pro Image File\n\x1a");
    head += QByteArray(32 - head.size(), '\0');
    return head + little(5, 2) + little(0, 2) + block(1, "creator") + bank;
}

// 2 x 2 colour, 4-byte padded rows when stored.
QByteArray colourChannels(int compression, bool padded) {
    auto rows = [padded](const char* two) {
        QByteArray plane;
        for (int y = 0; y < 2; ++y) {
            plane += QByteArray(two + 2 * y, 2);
            if (padded) {
                plane += QByteArray(2, '\0');
            }
        }
        return plane;
    };
    return channel(1, rows("\x01\x02\x03\x04"), compression) +
           channel(2, rows("\x11\x12\x13\x14"), compression) +
           channel(3, rows("\x21\x22\x23\x24"), compression);
}

TEST(PaintShopProReader, ReadsTheCompositeImageFromDeflatedOrStoredChannels) {
    for (int compression : {0, 2}) {
        for (bool padded : {false, true}) {
            const QImage picture =
                readPaintShopPro(psp(2, 2, 24, compression, colourChannels(compression, padded)));
            ASSERT_EQ(picture.size(), QSize(2, 2));
            EXPECT_EQ(rgbAt(picture, 1, 0), (Rgb{2, 0x12, 0x22}));
            EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{3, 0x13, 0x23}));
        }
    }
}

TEST(PaintShopProReader, ReadsIndexedThroughThePaletteBlock) {
    QByteArray entries = little(8, 4) + little(2, 4);
    entries += QByteArray("\x0a\x14\x1e\x00\x28\x32\x3c\x00", 8);  // blue, green, red, unused
    const QByteArray contents = block(2, entries) + channel(0, QByteArray("\x01\x00", 2), 2);
    const QImage picture = readPaintShopPro(psp(2, 1, 8, 2, contents));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{60, 50, 40}));
    EXPECT_EQ(rgbAt(picture, 1, 0), (Rgb{30, 20, 10}));
}

TEST(PaintShopProReader, RefusesBrokenFiles) {
    const QByteArray good = psp(2, 2, 24, 2, colourChannels(2, false));
    ASSERT_NO_THROW(readPaintShopPro(good));
    EXPECT_THROW(readPaintShopPro(good.left(good.size() - 3)), formats::FormatError);
    QByteArray wrongMagic = good;
    wrongMagic[21] = 'X';
    EXPECT_THROW(readPaintShopPro(wrongMagic), formats::FormatError);
    EXPECT_THROW(readPaintShopPro(psp(2, 2, 24, 2, colourChannels(2, false), true)),
                 formats::FormatError);  // only a thumbnail
    EXPECT_THROW(readPaintShopPro(psp(2, 2, 24, 2, channel(1, "abcd", 2))),
                 formats::FormatError);  // green and blue missing
    EXPECT_THROW(readPaintShopPro(psp(40000, 2, 24, 2, colourChannels(2, false))),
                 formats::FormatError);
    EXPECT_THROW(readPaintShopPro(psp(2, 2, 16, 2, colourChannels(2, false))),
                 formats::FormatError);
    // Damaged deflate data, and a declared size that does not match the picture.
    QByteArray damaged = good;
    damaged[damaged.size() - 6] = static_cast<char>(damaged[damaged.size() - 6] ^ 0x55);
    EXPECT_THROW(readPaintShopPro(damaged), formats::FormatError);
    EXPECT_THROW(readPaintShopPro(psp(3, 2, 24, 2, colourChannels(2, false))),
                 formats::FormatError);
}

}  // namespace
