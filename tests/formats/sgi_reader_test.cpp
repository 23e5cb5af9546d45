// The SGI reader on a file from another program and on files built here for each layout.
#include <gtest/gtest.h>

#include <QFile>
#include <array>
#include <vector>

#include "formats/format_error.h"
#include "formats/readers/sgi_reader.h"
#include "test_pictures.h"

namespace {

using formats::readSgi;
using formats_test::readData;
using formats_test::Rgb;
using formats_test::rgbAt;

void putBig(QByteArray& bytes, int at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * (size - 1 - i)));
    }
}

QByteArray header(bool runLength, int sampleBytes, int width, int height, int channels) {
    QByteArray file(512, '\0');
    putBig(file, 0, 474, 2);
    file[2] = runLength ? 1 : 0;
    file[3] = static_cast<char>(sampleBytes);
    putBig(file, 4, 3, 2);
    putBig(file, 6, width, 2);
    putBig(file, 8, height, 2);
    putBig(file, 10, channels, 2);
    return file;
}

// Each row of each channel (channel-major, bottom row first) coded as one literal run.
QByteArray runLengthFile(int width, int height, int channels,
                         const std::vector<std::vector<uint8_t>>& rows) {
    QByteArray file = header(true, 1, width, height, channels);
    const int tables = height * channels * 8;
    QByteArray data;
    QByteArray offsets;
    QByteArray lengths;
    for (const auto& row : rows) {
        QByteArray coded;
        coded.append(static_cast<char>(0x80 | row.size()));
        for (uint8_t value : row) {
            coded.append(static_cast<char>(value));
        }
        coded.append('\0');
        QByteArray word(4, '\0');
        putBig(word, 0, 512 + tables + data.size(), 4);
        offsets += word;
        putBig(word, 0, coded.size(), 4);
        lengths += word;
        data += coded;
    }
    return file + offsets + lengths + data;
}

TEST(SgiReader, ReadsFileOfAnotherProgramLikeImageMagick) {
    // Values from ImageMagick's decode of the same file.
    const QImage picture = readSgi(readData("im-b.sgi"));
    ASSERT_EQ(picture.size(), QSize(200, 150));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{59, 36, 4}));
    EXPECT_EQ(rgbAt(picture, 100, 75), (Rgb{138, 115, 80}));
    EXPECT_EQ(rgbAt(picture, 199, 149), (Rgb{217, 214, 217}));
}

TEST(SgiReader, ReadsVerbatimChannelPlanesFromTheBottomUp) {
    // 1 x 2, four channels: red plane, green plane, blue plane, alpha plane.
    QByteArray colour = header(false, 1, 1, 2, 4);
    colour += QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    const QImage picture = readSgi(colour);
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{1, 3, 5}));
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{2, 4, 6}));
    // 16-bit grey: the high byte is taken.
    QByteArray wide = header(false, 2, 2, 1, 1);
    wide += QByteArray("\x12\x34\xab\xcd", 4);
    EXPECT_EQ(rgbAt(readSgi(wide), 1, 0), (Rgb{0xab, 0xab, 0xab}));
}

TEST(SgiReader, ReadsRunLengthRowsThroughTheirTables) {
    const QImage grey = readSgi(runLengthFile(2, 2, 1, {{10, 20}, {30, 40}}));
    EXPECT_EQ(rgbAt(grey, 1, 1), (Rgb{20, 20, 20}));
    EXPECT_EQ(rgbAt(grey, 0, 0), (Rgb{30, 30, 30}));
    const QImage colour = readSgi(runLengthFile(1, 1, 3, {{7}, {8}, {9}}));
    EXPECT_EQ(rgbAt(colour, 0, 0), (Rgb{7, 8, 9}));
    // A repeat run.
    QByteArray repeat = runLengthFile(3, 1, 1, {{1, 1, 1}});
    repeat.replace(512 + 8, 3, QByteArray("\x03\x05\x00", 3));
    EXPECT_EQ(rgbAt(readSgi(repeat), 2, 0), (Rgb{5, 5, 5}));
}

TEST(SgiReader, RefusesBrokenFiles) {
    const QByteArray good = runLengthFile(2, 1, 1, {{10, 20}});
    ASSERT_NO_THROW(readSgi(good));
    EXPECT_THROW(readSgi(good.left(300)), formats::FormatError);
    QByteArray wrongMagic = good;
    wrongMagic[1] = 0;
    EXPECT_THROW(readSgi(wrongMagic), formats::FormatError);
    QByteArray lyingOffset = good;
    putBig(lyingOffset, 512, 0x7fffffff, 4);
    EXPECT_THROW(readSgi(lyingOffset), formats::FormatError);
    QByteArray longRun = good;  // a literal run of 3 in a row of 2
    longRun[512 + 8] = static_cast<char>(0x83);
    EXPECT_THROW(readSgi(longRun), formats::FormatError);
    EXPECT_THROW(readSgi(good.left(good.size() - 2)), formats::FormatError);
    EXPECT_THROW(readSgi(header(false, 1, 30000, 30000, 3)), formats::FormatError);
    EXPECT_THROW(readSgi(header(false, 1, 20000, 5000, 3) + "x"), formats::FormatError);
    EXPECT_THROW(readSgi(header(false, 3, 1, 1, 1) + "xyz"), formats::FormatError);
}

}  // namespace
