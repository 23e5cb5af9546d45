// Photographs as cameras and phones write them: orientation and colour profiles in JPEG, PNG
// and TIFF, checked against other programs' decodings, and the damaged blocks that must not
// refuse a picture.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QTransform>
#include <cmath>

#include "formats/jpeg_codec.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/exif_orientation.h"
#include "formats/photo/picture_orientation.h"
#include "formats/picture_file.h"
#include "formats/png_writer.h"
#include "formats/readers/format_readers.h"
#include "tests/formats/test_pictures.h"

namespace {

using formats_test::bytes;
using formats_test::readData;

struct ReferenceCase {
    const char* file;
    const char* reference;  // the other program's decoding
    double meanLimit;       // decoders and colour engines round differently
    int largestLimit;
};

// Files written by ImageMagick and exiftool, decoded by ImageMagick (see MANIFEST.tsv).
const ReferenceCase kReferenceCases[] = {
    {"photo-orientation-1.jpg", "photo-orientation-1-reference.ppm", 0.2, 3},
    {"photo-orientation-2.jpg", "photo-orientation-2-reference.ppm", 0.2, 3},
    {"photo-orientation-3.jpg", "photo-orientation-3-reference.ppm", 0.2, 3},
    {"photo-orientation-4.jpg", "photo-orientation-4-reference.ppm", 0.2, 3},
    {"photo-orientation-5.jpg", "photo-orientation-5-reference.ppm", 0.2, 3},
    {"photo-orientation-6.jpg", "photo-orientation-6-reference.ppm", 0.2, 3},
    {"photo-orientation-7.jpg", "photo-orientation-7-reference.ppm", 0.2, 3},
    {"photo-orientation-8.jpg", "photo-orientation-8-reference.ppm", 0.2, 3},
    {"photo-orientation-6.tif", "photo-orientation-6-tif-reference.ppm", 0.0, 0},
    {"photo-orientation-6.png", "photo-orientation-6-png-reference.ppm", 0.0, 0},
    {"photo-adobe-rgb.jpg", "photo-adobe-rgb-jpg-reference.ppm", 0.3, 8},
    {"photo-prophoto.jpg", "photo-prophoto-jpg-reference.ppm", 0.3, 8},
    {"photo-adobe-rgb.png", "photo-adobe-rgb-png-reference.ppm", 0.1, 2},
    {"photo-adobe-rgb.tif", "photo-adobe-rgb-tif-reference.ppm", 0.1, 2},
    {"photo-cmyk-profile.jpg", "photo-cmyk-profile-jpg-reference.ppm", 0.5, 4},
};

TEST(PhotoFiles, OpenUprightAndInSrgbAsOtherProgramsShowThem) {
    for (const ReferenceCase& c : kReferenceCases) {
        SCOPED_TRACE(c.file);
        const QImage picture = formats::decodePicture(readData(c.file), c.file);
        const QImage reference = formats::readPortableMap(readData(c.reference));
        ASSERT_EQ(picture.size(), reference.size());
        const formats_test::Difference difference = formats_test::compare(picture, reference);
        EXPECT_LE(difference.mean, c.meanLimit);
        EXPECT_LE(difference.largest, c.largestLimit);
    }
    // The eight orientations really differ, so a wrong turn cannot pass for a right one.
    const QImage mirrored = formats::readPortableMap(readData("photo-orientation-2-reference.ppm"));
    const QImage upright = formats::readPortableMap(readData("photo-orientation-1-reference.ppm"));
    EXPECT_GT(formats_test::compare(mirrored, upright).mean, 20);
    // And the profile matters: the same PNG without its iCCP chunk is far from the reference.
    const QByteArray png = readData("photo-adobe-rgb.png");
    const qsizetype chunk = png.indexOf("iCCP") - 4;
    ASSERT_GT(chunk, 0);
    const auto* at = reinterpret_cast<const uchar*>(png.constData()) + chunk;
    const qsizetype length = (at[0] << 24) | (at[1] << 16) | (at[2] << 8) | at[3];
    const QImage unconverted = formats::readPng(png.left(chunk) + png.mid(chunk + 12 + length));
    const QImage reference =
        formats::readPortableMap(readData("photo-adobe-rgb-png-reference.ppm"));
    EXPECT_GT(formats_test::compare(unconverted, reference).largest, 15);
}

// Turning by our tiles agrees with Qt's own turns, on a picture wider than one tile.
TEST(PhotoFiles, OrientationsMatchQtsTurnsAcrossTiles) {
    const QImage picture = formats_test::makeTestPicture(131, 70);
    const QImage quarter = picture.transformed(QTransform().rotate(90));
    const QImage threeQuarters = picture.transformed(QTransform().rotate(270));
    const QImage expected[9] = {
        picture,
        picture,
        picture.mirrored(true, false),
        picture.mirrored(true, true),
        picture.mirrored(false, true),
        quarter.mirrored(true, false),
        quarter,
        quarter.mirrored(false, true),
        threeQuarters,
    };
    for (int orientation = 0; orientation <= 9; ++orientation) {
        SCOPED_TRACE(orientation);
        const QImage& want = expected[orientation >= 1 && orientation <= 8 ? orientation : 0];
        EXPECT_EQ(formats::orientUpright(picture, orientation),
                  want.convertToFormat(QImage::Format_BGR888));
    }
}

// A TIFF structure with one IFD entry: tag 274, of `type`, `count` values, first value `value`.
QByteArray exifWithOrientation(bool bigEndian, int type, int count, int value) {
    auto u16 = [&](int v) {
        return bigEndian ? bytes({(v >> 8) & 0xff, v & 0xff}) : bytes({v & 0xff, (v >> 8) & 0xff});
    };
    auto u32 = [&](int v) { return bigEndian ? u16(0) + u16(v) : u16(v) + u16(0); };
    QByteArray tiff = bigEndian ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
    tiff += u32(8) + u16(1) + u16(274) + u16(type) + u32(count) + u16(value) + u16(0) + u32(0);
    return tiff;
}

TEST(PhotoFiles, ExifOrientationIsReadOrTakenAsUpright) {
    const QByteArray prefix("Exif\0\0", 6);
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 3, 1, 6)), 6);
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(true, 3, 1, 8)), 8);
    EXPECT_EQ(formats::exifOrientation(prefix + exifWithOrientation(true, 3, 1, 5)), 5);
    // Damaged or absurd blocks: upright.
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 3, 1, 9)), 1);
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 3, 1, 0)), 1);
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 4, 1, 6)), 1);  // a LONG
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 3, 70000, 6)), 1);
    EXPECT_EQ(formats::exifOrientation(exifWithOrientation(false, 3, 1, 6).left(14)), 1);
    EXPECT_EQ(formats::exifOrientation(QByteArray()), 1);
    EXPECT_EQ(formats::exifOrientation(QByteArray(5000, '\xff')), 1);
}

// A JPEG with segments put straight after its start-of-image marker.
QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments) {
    return jpeg.left(2) + segments + jpeg.mid(2);
}

QByteArray segment(int marker, const QByteArray& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    return bytes({0xff, marker, length >> 8, length & 0xff}) + payload;
}

TEST(PhotoFiles, DamagedExifAndProfilesNeverRefuseAJpeg) {
    const QImage source = formats_test::makeTestPicture(24, 16);
    const QByteArray plain = formats::encodeJpeg(source);
    const QImage decoded = formats::decodeJpeg(plain);
    const QByteArray exif = QByteArray("Exif\0\0", 6);
    // Orientation 6 in a sound block turns the picture; a block cut short leaves it as it is.
    const QImage turned = formats::decodeJpeg(
        withSegments(plain, segment(0xe1, exif + exifWithOrientation(false, 3, 1, 6))));
    EXPECT_EQ(turned, formats::orientUpright(decoded, 6));
    EXPECT_EQ(formats::decodeJpeg(withSegments(
                  plain, segment(0xe1, exif + exifWithOrientation(false, 3, 1, 6).left(12)))),
              decoded);
    // A profile of garbage, and a chunk that claims a second one which never comes.
    const QByteArray iccHeader("ICC_PROFILE\0", 12);
    EXPECT_EQ(formats::decodeJpeg(withSegments(
                  plain, segment(0xe2, iccHeader + bytes({1, 1}) + QByteArray(200, 'x')))),
              decoded);
    EXPECT_EQ(formats::decodeJpeg(withSegments(
                  plain, segment(0xe2, iccHeader + bytes({1, 2}) + QByteArray(200, 'x')))),
              decoded);
    // The colour engine refuses what is not a profile of the picture's colours.
    EXPECT_FALSE(
        formats::SrgbConversion(QByteArray(132, '\0'), formats::ProfileInput::Bgr).isValid());
}

// A PNG chunk with its length and checksum.
QByteArray pngChunk(const char* type, const QByteArray& data) {
    const int length = static_cast<int>(data.size());
    QByteArray chunk =
        bytes({length >> 24, (length >> 16) & 0xff, (length >> 8) & 0xff, length & 0xff});
    const QByteArray body = QByteArray(type, 4) + data;
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(body.constData()), static_cast<uInt>(body.size()));
    return chunk + body +
           bytes({static_cast<int>(crc >> 24), static_cast<int>((crc >> 16) & 0xff),
                  static_cast<int>((crc >> 8) & 0xff), static_cast<int>(crc & 0xff)});
}

QByteArray big32(uint32_t v) {
    return bytes({static_cast<int>(v >> 24), static_cast<int>((v >> 16) & 0xff),
                  static_cast<int>((v >> 8) & 0xff), static_cast<int>(v & 0xff)});
}

// Grey 128 stored in a PNG whose chunks (after its header chunk) are `chunks`.
int decodedGreyWith(const QByteArray& chunks) {
    QImage grey(4, 4, QImage::Format_BGR888);
    grey.fill(QColor(128, 128, 128));
    const QByteArray png = formats::encodePng(grey);
    const qsizetype afterHeader = 8 + 25;  // signature, then IHDR with length and checksum
    const QImage decoded = formats::readPng(png.left(afterHeader) + chunks + png.mid(afterHeader));
    return formats_test::rgbAt(decoded, 1, 1)[1];
}

// sRGB's curve at a linear value, as 8 bits.
int srgbEncoded(double linear) {
    const double v =
        linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<int>(std::lround(v * 255));
}

TEST(PhotoFiles, PngGammaAndChromaticitiesFollowLibpngsPrecedence) {
    const QByteArray linear = pngChunk("gAMA", big32(100000));  // gamma 1.0: linear light
    const QByteArray srgbChunk = pngChunk("sRGB", bytes({0}));
    const QByteArray srgbPrimaries =
        pngChunk("cHRM", big32(31270) + big32(32900) + big32(64000) + big32(33000) + big32(30000) +
                             big32(60000) + big32(15000) + big32(6000));
    EXPECT_EQ(decodedGreyWith({}), 128);
    EXPECT_NEAR(decodedGreyWith(linear), srgbEncoded(128 / 255.0), 1);
    EXPECT_NEAR(decodedGreyWith(srgbPrimaries + linear), srgbEncoded(128 / 255.0), 1);
    // 1/2.2 is how many writers label sRGB; an sRGB chunk wins over a gamma.
    EXPECT_EQ(decodedGreyWith(pngChunk("gAMA", big32(45455))), 128);
    EXPECT_EQ(decodedGreyWith(srgbChunk + linear), 128);
    // Absurd chromaticities are ignored, not refused.
    EXPECT_EQ(decodedGreyWith(pngChunk("cHRM", QByteArray(32, '\0'))), 128);
}

}  // namespace
