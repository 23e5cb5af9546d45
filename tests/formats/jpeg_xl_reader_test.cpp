// The JPEG XL reader against files written by Debian's cjxl, each compared with djxl's own
// decoding (for the Adobe RGB files, converted to sRGB by ImageMagick or by djxl).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <string>

#include "formats/readers/format_readers.h"
#include "tests/formats/test_pictures.h"

namespace {

using formats_test::compare;
using formats_test::messageOf;
using formats_test::readData;

TEST(JpegXlReader, DecodesAsDjxlDoes) {
    struct Case {
        const char* file;
        int largest;  // largest difference allowed in any sample
        double mean;
    };
    const Case cases[] = {
        {"jxl-lossless", 0, 0},          // modular codestream
        {"jxl-lossy", 1, 0.1},           // XYB in sRGB
        {"jxl-16bit", 0, 0},             // container, rounded to 8 bits
        {"jxl-alpha", 0, 0},             // alpha left out, colours as stored
        {"jxl-orientation", 0, 0},       // orientation 6: turned upright, 36 x 48
        {"jxl-adobergb", 2, 0.5},        // stored ICC profile, converted by Little CMS
        {"jxl-adobergb-lossy", 1, 0.1},  // XYB with an ICC profile, rendered in sRGB
        {"jxl-jpeg", 1, 0.1},            // JPEG recompressed, with reconstruction data
        {"jxl-animation", 0, 0},         // the first of two frames
        {"jxl-grey", 0, 0},              // grey spread over red, green and blue
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = std::string(c.file) + ".jxl";
        // Mugwarp's PPM reader brings 16-bit samples to the nearest 8-bit level, as the JPEG XL
        // reader must.
        const QImage reference =
            formats::readPortableMap(readData((std::string(c.file) + "-reference.ppm").c_str()));
        const QImage picture = formats::readJpegXl(readData(file.c_str()));
        ASSERT_EQ(picture.format(), QImage::Format_BGR888);
        ASSERT_EQ(picture.size(), reference.size());
        const formats_test::Difference difference = compare(picture, reference);
        EXPECT_LE(difference.largest, c.largest);
        EXPECT_LE(difference.mean, c.mean);
    }
}

// Bits written from the lowest of each byte up, as in a JPEG XL codestream.
struct BitWriter {
    QByteArray bytes;
    int used = 0;
    void put(uint32_t value, int count) {
        for (int i = 0; i < count; ++i, ++used) {
            if (used % 8 == 0) {
                bytes.append('\0');
            }
            bytes[used / 8] = static_cast<char>(bytes[used / 8] | ((value >> i & 1) << used % 8));
        }
    }
};

// A codestream whose header declares a square of `side` pixels with default metadata.
QByteArray squareHeader(uint32_t side) {
    BitWriter bits;
    bits.put(0xFF, 8);
    bits.put(0x0A, 8);
    bits.put(0, 1);  // not a small size
    bits.put(2, 2);  // height - 1 in 18 bits
    bits.put(side - 1, 18);
    bits.put(1, 3);  // width = height
    bits.put(1, 1);  // all metadata default
    return bits.bytes;
}

TEST(JpegXlReader, RefusesBadFiles) {
    const QByteArray lossless = readData("jxl-lossless.jxl");
    const QByteArray container = readData("jxl-16bit.jxl");
    QByteArray damaged = lossless;
    for (qsizetype i = damaged.size() / 2; i < damaged.size() / 2 + 16; ++i) {
        damaged[i] = static_cast<char>(damaged[i] ^ 0x55);
    }
    struct Case {
        const char* what;
        QByteArray data;
        const char* message;
    };
    const Case cases[] = {
        {"empty", QByteArray(), "Invalid or unexpected JPEG XL"},
        {"not JPEG XL", QByteArray("P6\n48 36\n255\n"), "Invalid or unexpected JPEG XL"},
        {"signature only", lossless.left(2), "cut short"},
        {"codestream cut short", lossless.left(lossless.size() / 2), "cut short"},
        {"container cut short", container.left(container.size() - 40), "cut short"},
        {"damaged", damaged, "Invalid or unexpected JPEG XL"},
        {"too large", squareHeader(40000), "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = messageOf([&] { formats::readJpegXl(c.data); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    // The same header with a size within the limits is read on as far as the file goes.
    EXPECT_NE(messageOf([] { formats::readJpegXl(squareHeader(3000)); }).find("cut short"),
              std::string::npos);
}

}  // namespace
