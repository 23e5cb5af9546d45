// The WebP reader on files Debian's webp tools wrote, compared with those tools' or ImageMagick's
// own decoding; damaged and oversized copies of them; and the writer read back.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "formats/format_error.h"
#include "formats/readers/format_readers.h"
#include "formats/webp_writer.h"
#include "test_pictures.h"

namespace {

using formats::encodeWebp;
using formats::readWebp;
using formats_test::compare;
using formats_test::makeTestPicture;
using formats_test::messageOf;
using formats_test::putLittle32;
using formats_test::readData;

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected WebP image format.";
constexpr const char* kCutShort = "Stream read error in WebP file.";
constexpr const char* kDamaged = "Cannot load image. The WebP picture data is damaged.";

uint32_t little32(const QByteArray& data, int at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(data[at + i]);
    }
    return value;
}

void putLittle24(QByteArray& data, int at, uint32_t value) {
    for (int i = 0; i < 3; ++i) {
        data[at + i] = static_cast<char>(value >> (8 * i));
    }
}

// The first bytes of a file, with its RIFF size and the sizes of the chunks at `chunks` (each
// inside the one before) made to fit them, so that only the bitstream inside is cut short.
QByteArray cutInsideChunks(const QByteArray& file, int keep, std::initializer_list<int> chunks) {
    QByteArray data = file.left(keep);
    putLittle32(data, 4, static_cast<uint32_t>(keep - 8));
    for (int at : chunks) {
        putLittle32(data, at + 4, static_cast<uint32_t>(keep - at - 8));
    }
    return data;
}

TEST(WebpReader, MatchesTheToolsOwnDecoding) {
    struct Case {
        const char* file;
        const char* reference;
        int width, height;
        int largest;  // the largest difference allowed in any channel
    };
    // dwebp -ppm made the references of the plain files (it drops alpha, keeping the stored
    // colours); ImageMagick those of the animation (its first frame on the canvas), the
    // orientation (-auto-orient) and the profile (-profile sRGB.icc).
    const Case cases[] = {
        {"webp-lossy.webp", "webp-lossy-reference.ppm", 40, 30, 2},
        {"webp-lossless.webp", "webp-lossless-reference.ppm", 40, 30, 0},
        {"webp-alpha.webp", "webp-alpha-reference.ppm", 40, 30, 2},
        // Saved with -exact: the colours under the transparent corners are the source's.
        {"webp-alpha-lossless.webp", "webp-alpha-lossless-reference.ppm", 40, 30, 0},
        // The first frame is 32 x 24 at (4, 2) of the 40 x 30 canvas, the second covers all.
        {"webp-animated.webp", "webp-animated-reference.ppm", 40, 30, 0},
        {"webp-exif-orientation-6.webp", "webp-exif-orientation-6-reference.ppm", 30, 40, 0},
        {"webp-icc-adobe-rgb.webp", "webp-icc-adobe-rgb-reference.ppm", 40, 30, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QImage picture = readWebp(readData(c.file));
        const QImage reference = formats::readPortableMap(readData(c.reference));
        ASSERT_EQ(picture.format(), QImage::Format_BGR888);
        ASSERT_EQ(picture.size(), QSize(c.width, c.height));
        ASSERT_EQ(reference.size(), picture.size());
        const formats_test::Difference difference = compare(picture, reference);
        EXPECT_LE(difference.largest, c.largest);
        EXPECT_LT(difference.mean, 0.5);
    }
}

TEST(WebpReader, RefusesDamagedFiles) {
    const QByteArray lossless = readData("webp-lossless.webp");  // RIFF, then VP8L at 12
    const QByteArray animated = readData("webp-animated.webp");  // VP8X, ANIM, two ANMF
    QByteArray notWebp = lossless;
    notWebp[11] = 'Q';
    QByteArray badSignature = lossless;
    badSignature[20] = 0;  // VP8L's signature byte 0x2f
    QByteArray chunkTooLong = lossless.left(100);
    putLittle32(chunkTooLong, 4, 92);
    QByteArray noFrames = animated.left(44);  // VP8X and ANIM only
    putLittle32(noFrames, 4, 36);
    const struct {
        const char* what;
        QByteArray data;
        const char* message;
    } cases[] = {
        {"nothing", QByteArray(), kInvalid},
        {"a RIFF file of another kind", notWebp, kInvalid},
        {"a damaged bitstream signature", badSignature, kInvalid},
        {"a chunk running past the file", chunkTooLong, kInvalid},
        {"an animation without frames", noFrames, kInvalid},
        {"the RIFF header only", lossless.left(12), kCutShort},
        {"a lossless file cut in half", lossless.left(lossless.size() / 2), kCutShort},
        {"a lossy file cut short", readData("webp-lossy.webp").left(200), kCutShort},
        {"an animation cut in its second frame", animated.left(animated.size() - 50), kCutShort},
        // The container is whole; libwebp finds the bitstream inside it broken.
        {"a lossless bitstream cut short", cutInsideChunks(lossless, 600, {12}), kDamaged},
        // The first frame's ANMF at 44 and its VP8L at 68 cut, the second frame dropped.
        {"an animation's first frame cut short", cutInsideChunks(animated, 700, {44, 68}),
         kDamaged},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageOf([&] { readWebp(c.data); }), c.message) << c.what;
    }
}

TEST(WebpReader, RefusesPicturesBeyondTheLimitsFromTheHeader) {
    // VP8L's header at 21: 14 bits of width - 1, 14 of height - 1, then alpha and version.
    QByteArray lossless = readData("webp-lossless.webp");
    const uint32_t flags = little32(lossless, 21) & 0xf0000000u;
    putLittle32(lossless, 21, flags | 16382u | (16382u << 14));
    // VP8 key frame at 20: three bytes of frame tag and the start code, then two sides of 14
    // bits (with two bits of upscaling above them).
    QByteArray lossy = readData("webp-lossy.webp");
    lossy[26] = lossy[28] = static_cast<char>(0xff);
    lossy[27] = lossy[29] = 0x3f;
    // VP8X at 12: flags, then the canvas's width - 1 and height - 1 in 24 bits each. An
    // animation's frames need only fit inside the canvas, so the demuxer accepts any size.
    QByteArray animated = readData("webp-animated.webp");
    putLittle24(animated, 24, 19999);
    putLittle24(animated, 27, 19999);
    const struct {
        const char* what;
        QByteArray data;
        const char* size;
    } cases[] = {
        {"lossless", lossless, "(16383 x 16383 pixels"},
        {"lossy", lossy, "(16383 x 16383 pixels"},
        {"animated", animated, "(20000 x 20000 pixels"},
    };
    for (const auto& c : cases) {
        const std::string message = messageOf([&] { readWebp(c.data); });
        EXPECT_EQ(message.rfind("The WebP picture is too large to edit ", 0), 0u) << c.what;
        EXPECT_NE(message.find(c.size), std::string::npos) << c.what << ": " << message;
    }
}

TEST(WebpWriter, WritesFilesTheReaderReadsBack) {
    const QImage picture = makeTestPicture(67, 45);  // odd sides: padded rows
    const QByteArray lossless = encodeWebp(picture, 0);
    EXPECT_EQ(lossless.mid(12, 4), "VP8L");
    const QImage exact = readWebp(lossless);
    ASSERT_EQ(exact.size(), picture.size());
    EXPECT_EQ(compare(exact, picture).largest, 0);

    const QByteArray lossy = encodeWebp(picture, formats::kWebpLossyQuality);
    EXPECT_EQ(lossy.mid(12, 4), "VP8 ");
    const QImage close = readWebp(lossy);
    ASSERT_EQ(close.size(), picture.size());
    EXPECT_LT(compare(close, picture).mean, 5.0);  // cwebp -q 90 writes the same file
    EXPECT_LT(encodeWebp(picture, 20).size(), encodeWebp(picture, 100).size());

    // Alpha is dropped before encoding, the colours under it kept.
    QImage translucent = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(translucent.scanLine(y));
        for (int x = 0; x < translucent.width(); ++x) {
            row[x] = qRgba(qRed(row[x]), qGreen(row[x]), qBlue(row[x]), (x * 7 + y) % 256);
        }
    }
    EXPECT_EQ(compare(readWebp(encodeWebp(translucent, 0)), picture).largest, 0);

    QImage widest(16383, 1, QImage::Format_RGB32);
    widest.fill(Qt::darkCyan);
    EXPECT_EQ(readWebp(encodeWebp(widest, 0)).width(), 16383);
    EXPECT_EQ(messageOf([] { encodeWebp(QImage(), 0); }), "Cannot save an empty picture as WebP.");
    EXPECT_EQ(messageOf([] { encodeWebp(QImage(2, 16384, QImage::Format_RGB32), 50); }),
              "The picture is too large for a WebP file (2 x 16384 pixels; WebP holds at most "
              "16383 pixels a side).");
}

}  // namespace
