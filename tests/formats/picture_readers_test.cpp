// The BMP, ICO, GIF, PNG, TIFF and EPS readers on files written by other programs, on our own
// variants of the bitmap layouts, and on broken files.
#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <string>
#include <vector>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/postscript_renderer.h"
#include "test_pictures.h"

namespace {

using formats_test::messageOf;
using formats_test::putLittle32;
using formats_test::readData;
QRgb pixelOf(const QImage& picture, int x, int y) {
    const uchar* at = picture.constScanLine(y) + 3 * x;
    return qRgb(at[2], at[1], at[0]);
}

// The CRC of PNG chunks (ISO 3309), for a header we change.
quint32 crc32Of(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<uchar>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

struct KnownPixel {
    int x, y;
    QRgb colour;
};

struct RealFile {
    const char* name;
    formats::PictureReader reader;
    QSize size;
    std::vector<KnownPixel> pixels;  // as ImageMagick decodes them
};

TEST(PictureReaders, OpenFilesOfOtherProgramsWithTheirSizeAndPixels) {
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    const std::vector<RealFile> files = {
        // Bitmaps written by ImageMagick and netpbm from one 40 x 30 picture.
        {"im-small-rle8.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(51, 27, 4)}, {13, 7, qRgb(165, 123, 100)}, {39, 29, qRgb(215, 206, 208)}}},
        {"netpbm-small-4bit.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(35, 27, 21)}, {13, 7, qRgb(160, 120, 92)}, {39, 29, qRgb(217, 211, 214)}}},
        {"netpbm-small-1bit.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, black}, {13, 7, white}, {39, 29, white}}},
        {"im-small-rgb565.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(49, 28, 0)}, {13, 7, qRgb(165, 121, 99)}, {39, 29, qRgb(214, 210, 214)}}},
        {"im-small-argb32.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(51, 29, 3)}, {13, 7, qRgb(169, 123, 99)}, {39, 29, qRgb(215, 213, 218)}}},
        {"netpbm-small-os2.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(51, 29, 3)}, {13, 7, qRgb(169, 123, 99)}, {39, 29, qRgb(215, 213, 218)}}},
        {"netpbm-small-os2-8bit.bmp",
         &formats::readBmp,
         {40, 30},
         {{0, 0, qRgb(35, 27, 21)}, {13, 7, qRgb(160, 120, 92)}, {39, 29, qRgb(217, 211, 214)}}},
        // Icons: the largest entry, a PNG in the first two.
        {"im-gradient-png256.ico",
         &formats::readIcon,
         {256, 256},
         {{0, 0, qRgb(255, 0, 0)}, {100, 128, qRgb(127, 0, 128)}, {255, 255, qRgb(0, 0, 255)}}},
        {"gdk-pixbuf-tests-bug785447.ico",
         &formats::readIcon,
         {256, 256},
         {{0, 0, qRgb(192, 192, 192)}, {128, 128, qRgb(129, 201, 50)}}},
        {"im-small-bmp-entries.ico",
         &formats::readIcon,
         {48, 48},
         {{0, 0, qRgb(51, 29, 3)}, {20, 11, qRgb(170, 132, 105)}, {47, 47, qRgb(215, 213, 218)}}},
        {"gdk-pixbuf-tests-extra-data.gif", &formats::readGif, {1, 1}, {{0, 0, white}}},
        {"gdk-pixbuf-tests-test-animation.gif",
         &formats::readGif,
         {17, 17},
         {{0, 0, white}, {7, 5, qRgb(126, 140, 166)}, {8, 8, qRgb(158, 125, 145)}}},
        {"im-b-interlaced.gif",
         &formats::readGif,
         {200, 150},
         {{0, 0, qRgb(58, 37, 8)}, {16, 16, qRgb(197, 171, 139)}}},
        // Its gAMA chunk says 1.0 (linear light): the stored 149 and 158 are shown through
        // sRGB's curve, as libpng's gamma handling would show them on an sRGB screen.
        {"golang-1.19-src-ftbyn3p08.png",
         &formats::readPng,
         {32, 32},
         {{0, 0, white}, {7, 5, qRgb(201, 201, 201)}, {16, 16, qRgb(206, 206, 206)}}},
        {"libexiv2-doc-classExiv2_1_1AsciiValue__inherit__graph.png",
         &formats::readPng,
         {183, 187},
         {{0, 0, white}, {60, 180, black}}},
        {"python3-skimage-OriginalX75Y75.png",
         &formats::readPng,
         {587, 485},
         {{303, 9, qRgb(71, 71, 71)}, {288, 71, qRgb(52, 52, 52)}}},
        {"golang-golang-x-image-dev-video-001-uncompressed.tiff",
         &formats::readTiff,
         {150, 103},
         {{0, 0, qRgb(125, 14, 2)}, {7, 5, qRgb(131, 20, 0)}, {16, 16, qRgb(148, 11, 0)}}},
        {"golang-golang-x-image-dev-video-001-paletted.tiff",
         &formats::readTiff,
         {150, 103},
         {{0, 0, qRgb(120, 8, 0)}, {7, 5, qRgb(128, 16, 0)}, {16, 16, qRgb(144, 12, 0)}}},
        {"im-b-lzw.tif",
         &formats::readTiff,
         {200, 150},
         {{0, 0, qRgb(59, 36, 4)}, {7, 5, qRgb(61, 39, 9)}, {16, 16, qRgb(199, 167, 139)}}},
        {"im-b-deflate.tif",
         &formats::readTiff,
         {200, 150},
         {{0, 0, qRgb(59, 36, 4)}, {7, 5, qRgb(61, 39, 9)}, {16, 16, qRgb(199, 167, 139)}}},
        {"im-b-jpeg.tif",
         &formats::readTiff,
         {200, 150},
         {{0, 0, qRgb(61, 37, 5)}, {7, 5, qRgb(62, 43, 7)}, {16, 16, qRgb(198, 166, 139)}}},
        {"im-b-g3.tif",
         &formats::readTiff,
         {200, 150},
         {{0, 0, black}, {150, 60, white}, {30, 120, black}}},
        {"im-b-g4.tif",
         &formats::readTiff,
         {200, 150},
         {{0, 0, black}, {150, 60, white}, {30, 120, black}}},
        {"librust-tiff-dev-Transparency-lzw.tif",
         &formats::readTiff,
         {300, 300},
         {{198, 150, qRgb(255, 242, 20)}, {150, 60, qRgb(51, 11, 215)}}},
        {"python3-skimage-chessboard_GRAY_U16.tif", &formats::readTiff, {200, 200}, {}},
    };
    for (const RealFile& file : files) {
        const QByteArray data = readData(file.name);
        const QImage picture = file.reader(data);
        ASSERT_EQ(picture.format(), QImage::Format_BGR888) << file.name;
        ASSERT_EQ(picture.size(), file.size) << file.name;
        for (const KnownPixel& known : file.pixels) {
            EXPECT_EQ(pixelOf(picture, known.x, known.y), known.colour)
                << file.name << " at " << known.x << "," << known.y;
        }
        // Recognised by content as well.
        EXPECT_EQ(formats::decodePicture(data, file.name), picture) << file.name;
    }
}

TEST(PictureReaders, EpsShowsItsTiffPreview) {
    const QByteArray tiff = readData("im-b-lzw.tif");
    const QByteArray postscript("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 150\n");
    QByteArray eps("\xC5\xD0\xD3\xC6", 4);
    eps.append(QByteArray(26, '\0'));
    putLittle32(eps, 4, 30);
    putLittle32(eps, 8, static_cast<uint32_t>(postscript.size()));
    putLittle32(eps, 20, static_cast<uint32_t>(30 + postscript.size()));
    putLittle32(eps, 24, static_cast<uint32_t>(tiff.size()));
    eps[28] = eps[29] = '\xFF';  // no checksum
    eps += postscript + tiff;
    EXPECT_EQ(formats::readEps(eps), formats::readTiff(tiff));
    EXPECT_EQ(formats::decodePicture(eps, "x.eps"), formats::readTiff(tiff));

    QByteArray lying = eps;
    putLittle32(lying, 24, static_cast<uint32_t>(tiff.size() + 1));
    EXPECT_EQ(messageOf([&] { formats::readEps(lying); }), "Stream read error in EPS file.");
    // Without a preview and without a PostScript interpreter, the file is refused.
    const formats::PostScriptRendering noInterpreter{QStringLiteral("/nonexistent/gs")};
    QByteArray noPreview = eps;
    putLittle32(noPreview, 24, 0);
    EXPECT_NE(messageOf([&] {
                  formats::readEpsRendering(noPreview, noInterpreter);
              }).find("no TIFF, WMF or text preview"),
              std::string::npos);
    EXPECT_NE(messageOf([&] {
                  formats::readEpsRendering(postscript, noInterpreter);
              }).find("without a preview"),
              std::string::npos);
}

TEST(PictureReaders, EpsShowsItsTextPreview) {
    const QImage framed = formats::readPortableMap(readData("netpbm-framed.pbm"));
    const QByteArray epsi = readData("netpbm-framed-preview.epsi");
    EXPECT_EQ(formats::readEps(epsi), framed);
    EXPECT_EQ(formats::decodePicture(epsi, "x.eps"), framed);

    // Deeper samples: the amount of ink, so all bits set is black.
    const QByteArray deep(
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BeginPreview: 4 2 2 2\n% 1b\n%%EndImage\n% E4\n"
        "%%EndPreview\n");
    const QImage grey = formats::readEps(deep);
    ASSERT_EQ(grey.size(), QSize(4, 2));
    const int expected[2][4] = {{255, 170, 85, 0}, {0, 85, 170, 255}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(grey.pixel(x, y), qRgb(expected[y][x], expected[y][x], expected[y][x]));
        }
    }

    // The same preview inside a binary EPS without a TIFF or metafile.
    QByteArray binary("\xC5\xD0\xD3\xC6", 4);
    binary.append(QByteArray(26, '\0'));
    putLittle32(binary, 4, 30);
    putLittle32(binary, 8, static_cast<uint32_t>(deep.size()));
    binary += deep;
    EXPECT_EQ(formats::readEps(binary), grey);

    for (const char* damaged : {
             "%!PS\n%%BeginPreview: 4 2 2 2\n% 1b\n%%EndPreview\n",  // a row short
             "%!PS\n%%BeginPreview: 4 1 3 1\n% ffff\n",              // no such depth
             "%!PS\n%%BeginPreview: 4\n% ff\n",                      // no height
             "%!PS\n%%BeginPreview: 2 1 8 1\n% 0g\n",                // not hexadecimal
             "%!PS\n%%BeginPreview: 40000 1 1 1\n% 00\n",            // too wide
         }) {
        EXPECT_NE(messageOf([&] { formats::readEps(QByteArray(damaged)); }).find("EPS"),
                  std::string::npos)
            << damaged;
    }
}

// A bitmap of our own turned into the layouts the writers above do not produce.
TEST(BmpReader, ReadsTopDownRowsAndRunLengthCodedNibbles) {
    const QImage picture = formats_test::makeTestPicture(5, 4);
    QByteArray topDown = formats::encodeBmp24(picture);
    putLittle32(topDown, 22, static_cast<uint32_t>(-4));
    const int rowBytes = 16;
    for (int y = 0; y < 4; ++y) {
        std::memcpy(topDown.data() + 54 + y * rowBytes, picture.constScanLine(y), 15);
    }
    EXPECT_EQ(formats::readBmp(topDown), picture);

    // RLE4, 7 x 2, palette red, green, blue: bottom row a run "0101" then an absolute run
    // "222", top row skipped by a delta and left black, then end of bitmap.
    QByteArray rle("BM", 2);
    rle.append(QByteArray(52, '\0'));
    putLittle32(rle, 10, 54 + 16);
    putLittle32(rle, 14, 40);
    putLittle32(rle, 18, 7);
    putLittle32(rle, 22, 2);
    rle[26] = 1;
    rle[28] = 4;
    putLittle32(rle, 30, 2);  // RLE4
    putLittle32(rle, 46, 3);  // colours used
    rle.append(
        QByteArray("\x00\x00\xFF\x00"
                   "\x00\xFF\x00\x00"
                   "\xFF\x00\x00\x00",
                   12));
    rle.append(QByteArray(4, '\0'));  // padding up to the stated offset
    rle.append(
        QByteArray("\x04\x01"
                   "\x00\x03\x22\x20"
                   "\x00\x02\x00\x01"
                   "\x00\x01",
                   12));
    const QImage decoded = formats::readBmp(rle);
    ASSERT_EQ(decoded.size(), QSize(7, 2));
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const QRgb bottom[] = {red, green, red, green, blue, blue, blue};
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(pixelOf(decoded, x, 1), bottom[x]) << x;
        EXPECT_EQ(pixelOf(decoded, x, 0), qRgb(0, 0, 0)) << x;
    }
    // Cut before the end-of-bitmap marker and before the top row.
    EXPECT_EQ(messageOf([&] { formats::readBmp(rle.left(rle.size() - 6)); }),
              "Stream read error in BMP file.");
}

TEST(PictureReaders, BrokenFilesEndInClearErrors) {
    struct Broken {
        const char* name;
        formats::PictureReader reader;
    };
    // Every real file cut at a range of lengths: an error or, for a cut in trailing data, a
    // picture; never a crash.
    for (const Broken& file :
         std::vector<Broken>{{"im-small-rle8.bmp", &formats::readBmp},
                             {"im-small-bmp-entries.ico", &formats::readIcon},
                             {"im-b-interlaced.gif", &formats::readGif},
                             {"golang-1.19-src-ftbyn3p08.png", &formats::readPng},
                             {"im-b-lzw.tif", &formats::readTiff},
                             {"im-b-jpeg.tif", &formats::readTiff},
                             {"im-b-g4.tif", &formats::readTiff}}) {
        const QByteArray whole = readData(file.name);
        for (qsizetype length = 0; length < whole.size(); length += 1 + length / 3) {
            try {
                const QImage picture = file.reader(whole.left(length));
                EXPECT_FALSE(picture.isNull()) << file.name << " cut at " << length;
            } catch (const formats::FormatError& error) {
                EXPECT_NE(std::string(error.what()), "") << file.name;
            }
        }
    }
    // Cut inside the pixels.
    const QByteArray gif = readData("im-b-interlaced.gif");
    EXPECT_EQ(messageOf([&] { formats::readGif(gif.left(gif.size() / 2)); }),
              "Stream read error in GIF file.");
    const QByteArray png = readData("golang-1.19-src-ftbyn3p08.png");
    EXPECT_EQ(messageOf([&] { formats::readPng(png.left(png.size() - 30)); }),
              "Stream read error in PNG file.");

    // Wrong magic.
    const QByteArray text("this is not a picture at all, just text");
    EXPECT_EQ(messageOf([&] { formats::readBmp(text); }),
              "Cannot load image. Invalid or unexpected BMP image format.");
    EXPECT_EQ(messageOf([&] { formats::readIcon(text); }),
              "Cannot load image. Invalid or unexpected ICO image format.");
    EXPECT_EQ(messageOf([&] { formats::readGif(text); }), "Invalid GIF signature");
    EXPECT_EQ(messageOf([&] { formats::readPng(text); }),
              "Cannot load image. Invalid or unexpected PNG image format.");
    EXPECT_EQ(messageOf([&] { formats::readTiff(text); }),
              "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
    EXPECT_EQ(messageOf([&] { formats::readEps(text); }),
              "Cannot load image. Invalid or unexpected EPS image format.");

    // Absurd sizes, refused from the header.
    QByteArray hugePng = png;
    hugePng[16] = 0;
    hugePng[17] = 0;
    hugePng[18] = '\x9C';
    hugePng[19] = '\x40';  // 40000 wide
    const quint32 crc = crc32Of(hugePng.mid(12, 17));
    for (int i = 0; i < 4; ++i) {
        hugePng[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    }
    EXPECT_NE(messageOf([&] { formats::readPng(hugePng); }).find("too large"), std::string::npos);
    QByteArray hugeGif = gif;
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = '\xFF';  // 65535 x 65535 screen
    EXPECT_NE(messageOf([&] { formats::readGif(hugeGif); }).find("too large"), std::string::npos);
    QByteArray hugeTiff = readData("im-b-lzw.tif");
    const qsizetype widthTag = hugeTiff.indexOf(QByteArray("\x00\x01\x03\x00\x01\x00", 6));
    ASSERT_GT(widthTag, 0);
    hugeTiff[widthTag + 2] = 4;  // LONG
    putLittle32(hugeTiff, widthTag + 8, 1000000);
    EXPECT_NE(messageOf([&] { formats::readTiff(hugeTiff); }).find("too large"), std::string::npos);

    // Lying lengths: an icon whose entries point beyond the file, a bitmap whose pixel
    // offset does.
    QByteArray icon = readData("im-small-bmp-entries.ico");
    for (int entry = 0; entry < 3; ++entry) {
        putLittle32(icon, 6 + 16 * entry + 8, 0x7FFFFFFF);
    }
    EXPECT_EQ(messageOf([&] { formats::readIcon(icon); }), "Stream read error in ICO file.");
    QByteArray bmp = readData("netpbm-small-os2.bmp");
    putLittle32(bmp, 10, static_cast<uint32_t>(bmp.size()));
    EXPECT_EQ(messageOf([&] { formats::readBmp(bmp); }), "Stream read error in BMP file.");
    EXPECT_EQ(messageOf([&] {
                  formats::readIcon(readData("gdk-pixbuf-tests-invalid.1.ico"));
              }).find("Cannot load image."),
              0u);
}

}  // namespace
