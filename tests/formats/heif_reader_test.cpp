// The HEIF and AVIF reader on files made by heif-enc and avifenc, compared with the pictures
// heif-convert and avifdec decode from them, and on damaged and oversized files.
#include <gtest/gtest.h>

#include <QByteArray>
#include <cstdint>
#include <string>

#include "formats/readers/format_readers.h"
#include "test_pictures.h"

namespace {

using formats::readHeif;
using formats_test::compare;
using formats_test::messageOf;
using formats_test::readData;

struct Case {
    const char* file;
    const char* reference;  // the other program's decoding, colour-managed to sRGB
    QSize size;
    // Mean difference over all bytes allowed: about a tenth of a level where both programs
    // round from the same samples (reducing 10 or 12 bits by a shift gives 0.2 to 0.3), more
    // where Little CMS and ImageMagick each quantise a colour conversion.
    double meanTolerance = 0.15;
};

TEST(HeifReader, DecodesLikeTheToolsOfTheFormat) {
    const Case cases[] = {
        // heif-enc (x265, 4:2:0) and heif-convert.
        {"heif-x265.heic", "heif-x265-reference.ppm", {64, 48}},
        {"heif-12bit.heic", "heif-12bit-reference.ppm", {64, 48}},
        // Two pictures; the primary is the second, of another size and content.
        {"heif-collection.heic", "heif-collection-reference.ppm", {64, 48}},
        // avifenc (aom) and avifdec, which converts to RGB through libyuv.
        {"avif-8bit.avif", "avif-8bit-reference.ppm", {64, 48}},
        {"avif-10bit.avif", "avif-10bit-reference.ppm", {64, 48}},
        // Turned a quarter anticlockwise, then flipped top to bottom: avifdec leaves that to
        // its caller, so its decoding was turned with ImageMagick.
        {"avif-irot-imir.avif", "avif-irot-imir-reference.ppm", {48, 64}},
        // Adobe RGB pixels with the profile (the stored values are up to 17 levels off).
        {"avif-icc.avif", "avif-icc-reference.ppm", {64, 48}},
        // nclx 4/4/6: NTSC primaries, white C, gamma 2.2 (stored values up to 20 levels off).
        {"avif-nclx-ntsc.avif", "avif-nclx-ntsc-reference.ppm", {64, 48}, 0.5},
        // Alpha from 100 % to 20 %: the colours are the stored ones, not blended.
        {"avif-alpha.avif", "avif-alpha-reference.ppm", {64, 48}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QImage picture = readHeif(readData(c.file));
        const QImage reference = formats::readPortableMap(readData(c.reference));
        EXPECT_EQ(picture.format(), QImage::Format_BGR888);
        EXPECT_EQ(reference.size(), c.size);
        EXPECT_EQ(picture.size(), c.size);
        if (picture.size() != reference.size() || picture.format() != QImage::Format_BGR888) {
            continue;
        }
        const formats_test::Difference difference = compare(picture, reference);
        EXPECT_LE(difference.mean, c.meanTolerance);
        EXPECT_LE(difference.largest, 2);
    }
}

// Overwrites the width and height of every ispe box (the declared picture size).
QByteArray withDeclaredSize(QByteArray file, uint32_t width, uint32_t height) {
    for (qsizetype at = file.indexOf("ispe"); at >= 0; at = file.indexOf("ispe", at + 4)) {
        for (int i = 0; i < 4; ++i) {
            file[at + 8 + i] = static_cast<char>(width >> (24 - 8 * i));
            file[at + 12 + i] = static_cast<char>(height >> (24 - 8 * i));
        }
    }
    return file;
}

// The 24 bytes after a box's type turned to 0xff.
QByteArray damaged(QByteArray file, const char* box) {
    const qsizetype at = file.indexOf(box);
    EXPECT_GT(at, 0) << box;
    file.replace(at + 4, 24, QByteArray(24, '\xff'));
    return file;
}

TEST(HeifReader, RefusesDamagedAndOversizedFiles) {
    const QByteArray heic = readData("heif-x265.heic");
    const QByteArray avif = readData("avif-10bit.avif");
    QByteArray noFileType = heic;
    noFileType.replace(4, 4, "free");
    const std::string invalidHeif = "Cannot load image. Invalid or unexpected HEIF image format.";
    const std::string invalidAvif = "Cannot load image. Invalid or unexpected AVIF image format.";
    const std::string limits =
        "; Mugwarp edits up to 30000 pixels a side and 120 million pixels in all).";
    const struct {
        const char* what;
        QByteArray file;
        std::string message;  // the start of the message
        std::string detail;   // a part of the reason that must follow
    } cases[] = {
        {"empty", QByteArray(), invalidHeif, ""},
        {"no ftyp", noFileType, invalidHeif + " (", "No 'ftyp' box"},
        {"header cut", heic.left(200), invalidHeif + " (", "No 'meta' box"},
        {"heic cut", heic.left(heic.size() - 600), invalidHeif + " (", "Unexpected end of file"},
        {"avif cut", avif.left(avif.size() - 300), invalidAvif + " (", "Unexpected end of file"},
        {"damaged hvcC", damaged(heic, "hvcC"), invalidHeif + " (", "meta"},
        {"damaged ipma", damaged(avif, "ipma"), invalidAvif + " (", "ipma"},
        // libheif refuses a side above the limit it is given; we refuse the pixel count.
        {"too wide", withDeclaredSize(avif, 30001, 48),
         "The AVIF picture is too large to edit (Image size 30001x48 exceeds", limits},
        {"too many pixels", withDeclaredSize(avif, 20000, 20000),
         "The AVIF picture is too large to edit (20000 x 20000 pixels" + limits, ""},
        {"no pixels", withDeclaredSize(heic, 0, 48),
         "Cannot load image. The HEIF picture has no pixels (0 x 48).", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = messageOf([&] { readHeif(c.file); });
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << message;
        EXPECT_NE(message.find(c.detail, c.message.size()), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    // The largest side we edit is not refused by the limit libheif was given; the decoded
    // plane, which is what gets copied, keeps its coded size.
    EXPECT_EQ(readHeif(withDeclaredSize(avif, 30000, 48)).size(), QSize(64, 48));
}

}  // namespace
