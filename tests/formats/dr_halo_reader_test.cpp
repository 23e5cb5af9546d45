// The Dr. Halo reader on files built here from the published layout.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "formats/format_error.h"
#include "formats/readers/dr_halo_reader.h"
#include "test_pictures.h"

namespace {

using formats::readDrHalo;
using formats_test::Rgb;
using formats_test::rgbAt;

QByteArray little(std::initializer_list<int> words) {
    QByteArray bytes;
    for (int word : words) {
        bytes.append(static_cast<char>(word));
        bytes.append(static_cast<char>(word >> 8));
    }
    return bytes;
}

QByteArray row(const QByteArray& runs) {
    return little({static_cast<int>(runs.size())}) + runs;
}

// 3 x 2: row 0 is a repeat of index 2; row 1 the literal indices 0, 1, 2.
QByteArray cut() {
    return little({3, 2, 0}) + row(QByteArray("\x83\x02\x00", 3)) +
           row(QByteArray("\x03\x00\x01\x02\x00", 5));
}

// The palette file: header with the largest index 2 and largest components 255.
QByteArray palette() {
    QByteArray header = "AH" + little({0x300, 0}) + QByteArray(2, '\0') + little({0, 0}) +
                        little({2, 255, 255, 255}) + QByteArray(20, '\0');
    return header + little({10, 20, 30, 40, 50, 60, 70, 80, 90});
}

TEST(DrHaloReader, ShowsIndicesAsAGreyRampWithoutAPalette) {
    const QImage picture = readDrHalo(cut());
    ASSERT_EQ(picture.size(), QSize(3, 2));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    // The largest index used (2) is white.
    EXPECT_EQ(rgbAt(picture, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(rgbAt(picture, 1, 1), (Rgb{128, 128, 128}));
}

TEST(DrHaloReader, UsesAnAppendedPalette) {
    const QImage picture = readDrHalo(cut() + palette());
    EXPECT_EQ(rgbAt(picture, 2, 0), (Rgb{70, 80, 90}));
    EXPECT_EQ(rgbAt(picture, 0, 1), (Rgb{10, 20, 30}));
    EXPECT_EQ(rgbAt(picture, 1, 1), (Rgb{40, 50, 60}));
}

TEST(DrHaloReader, RefusesBrokenFiles) {
    const QByteArray good = cut();
    EXPECT_THROW(readDrHalo(good.left(4)), formats::FormatError);
    EXPECT_THROW(readDrHalo(good.left(good.size() - 2)), formats::FormatError);
    EXPECT_THROW(readDrHalo(little({0, 2, 0}) + good.mid(6)), formats::FormatError);
    EXPECT_THROW(readDrHalo(little({30001, 1, 0}) + good.mid(6)), formats::FormatError);
    EXPECT_THROW(readDrHalo(little({20000, 20000, 0}) + good.mid(6)), formats::FormatError);
    // A run past the row's end, a row short of the width, a row count beyond the file.
    EXPECT_THROW(readDrHalo(little({2, 1, 0}) + row(QByteArray("\x83\x02\x00", 3))),
                 formats::FormatError);
    EXPECT_THROW(readDrHalo(little({4, 1, 0}) + row(QByteArray("\x83\x02\x00", 3))),
                 formats::FormatError);
    EXPECT_THROW(readDrHalo(little({3, 1, 0}) + little({900}) + "\x83\x02"), formats::FormatError);
    // A palette that claims more entries than it holds.
    QByteArray shortPalette = palette();
    shortPalette[12] = static_cast<char>(200);
    EXPECT_THROW(readDrHalo(good + shortPalette), formats::FormatError);
}

}  // namespace
