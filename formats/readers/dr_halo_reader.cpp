#include "formats/readers/dr_halo_reader.h"
#include "formats/readers/format_readers.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "formats/byte_reader.h"

// A .cut file holds only indices: width, height, a reserved word, then per row a 16-bit byte
// count and runs (0 ends the row; a count with the top bit set repeats the next byte, else that
// many bytes follow). Its colours live in a separate .pal file, which we only see when it has
// been appended to the data; then it is used. Otherwise the indices are shown as a grey ramp
// spread from black at 0 to white at the largest index used, so that the picture's shapes stay
// visible whatever the number of colours.

namespace formats {
namespace {

const char* const kName = "CUT";
constexpr int kPaletteHeaderSize = 40;
constexpr int kPaletteBlock = 512;

using Palette = std::array<std::array<uint8_t, 3>, 256>;

uint8_t scaled(unsigned value, unsigned largest) {
    if (largest == 0 || value >= largest) {
        return value == 0 ? 0 : 255;
    }
    return static_cast<uint8_t>((value * 255 + largest / 2) / largest);
}

// The palette file: "AH", version, size, type, subtype, board, mode, then the largest index
// and the largest red, green and blue, a name; entries of three 16-bit values follow, never
// crossing a 512-byte block.
bool readPalette(ByteReader& in, Palette& palette) {
    if (in.remaining() < kPaletteHeaderSize || in.at(in.position()) != 'A' ||
        in.at(in.position() + 1) != 'H') {
        return false;
    }
    const qint64 start = in.position();
    in.skip(12);
    const unsigned largestIndex = in.le16();
    const unsigned largest[3] = {in.le16(), in.le16(), in.le16()};
    if (largestIndex > 255) {
        throwInvalidPalette(kName);
    }
    in.seek(start + kPaletteHeaderSize);
    for (unsigned i = 0; i <= largestIndex; ++i) {
        const qint64 offset = in.position() - start;
        if (offset % kPaletteBlock > kPaletteBlock - 6) {
            in.seek(start + (offset / kPaletteBlock + 1) * kPaletteBlock);
        }
        for (int c = 0; c < 3; ++c) {
            palette[i][c] = scaled(in.le16(), largest[c]);
        }
    }
    return true;
}

}  // namespace

QImage readDrHalo(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 6) {
        throwInvalidFormat(kName);
    }
    const int width = in.le16();
    const int height = in.le16();
    in.skip(2);
    checkPictureSize(width, height, kName);
    // Every row takes at least its count word and the end byte.
    in.expectAtLeast(qint64{height} * 3);

    std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const int rowBytes = in.le16();
        ByteReader row(
            QByteArray::fromRawData(reinterpret_cast<const char*>(in.take(rowBytes)), rowBytes),
            kName);
        uint8_t* out = indices.data() + static_cast<size_t>(y) * width;
        int filled = 0;
        while (!row.atEnd()) {
            const uint8_t code = row.u8();
            if (code == 0) {
                break;
            }
            const int count = code & 0x7f;
            if (count > width - filled) {
                throwCompressionError(kName);
            }
            if (code & 0x80) {
                std::fill_n(out + filled, count, row.u8());
            } else {
                const uint8_t* at = row.take(count);
                std::copy(at, at + count, out + filled);
            }
            filled += count;
        }
        if (filled != width) {
            throwCompressionError(kName);
        }
    }

    Palette palette{};
    if (!readPalette(in, palette)) {
        const unsigned largest = *std::max_element(indices.begin(), indices.end());
        for (unsigned i = 0; i < 256; ++i) {
            const uint8_t grey = scaled(i, largest);
            palette[i] = {grey, grey, grey};
        }
    }
    QImage picture = newPicture(width, height, kName);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = indices.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const auto& colour = palette[row[x]];
            putPixel(picture, x, y, colour[0], colour[1], colour[2]);
        }
    }
    return picture;
}

}  // namespace formats
