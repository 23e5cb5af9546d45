#include "formats/readers/targa_reader.h"
#include "formats/readers/format_readers.h"

#include <utility>
#include <vector>

#include "formats/byte_reader.h"

namespace formats {
namespace {

const char* const kName = "TGA";

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

uint8_t expand5(unsigned value) {
    return static_cast<uint8_t>((value << 3) | (value >> 2));
}

// A 15- or 16-bit value holds 5 bits each of red, green and blue; the top bit is an attribute.
Rgb fromRgb555(unsigned value) {
    return {expand5((value >> 10) & 31), expand5((value >> 5) & 31), expand5(value & 31)};
}

// One stored value of `bytes` bytes as colour; grey pictures may carry an alpha byte after the
// grey one, and colour-mapped ones index the map.
class PixelConverter {
public:
    PixelConverter(int kind, int bits, std::vector<Rgb> map, int mapFirst)
        : kind_(kind), bits_(bits), map_(std::move(map)), mapFirst_(mapFirst) {}

    Rgb operator()(const uint8_t* at) const {
        switch (kind_) {
            case 1: {
                const int index = (bits_ == 8 ? at[0] : at[0] | (at[1] << 8)) - mapFirst_;
                if (index < 0 || index >= static_cast<int>(map_.size())) {
                    throwInvalidPalette(kName);
                }
                return map_[static_cast<size_t>(index)];
            }
            case 3:
                return {at[0], at[0], at[0]};
            default:
                if (bits_ <= 16) {
                    return fromRgb555(at[0] | (at[1] << 8));
                }
                return {at[2], at[1], at[0]};
        }
    }

private:
    int kind_;
    int bits_;
    std::vector<Rgb> map_;
    int mapFirst_;
};

std::vector<Rgb> readColourMap(ByteReader& in, int length, int entryBits) {
    std::vector<Rgb> map;
    map.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        if (entryBits == 15 || entryBits == 16) {
            map.push_back(fromRgb555(in.le16()));
        } else {
            const uint8_t* at = in.take(entryBits / 8);
            map.push_back({at[2], at[1], at[0]});
        }
    }
    return map;
}

}  // namespace

QImage readTarga(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 18) {
        throwInvalidFormat(kName);
    }
    const int idLength = in.u8();
    const int mapType = in.u8();
    const int type = in.u8();
    const int mapFirst = in.le16();
    const int mapLength = in.le16();
    const int mapEntryBits = in.u8();
    in.skip(4);  // the picture's position on screen
    const int width = in.le16();
    const int height = in.le16();
    const int bits = in.u8();
    const int descriptor = in.u8();

    const int kind = type & 7;
    const bool runLength = (type & 8) != 0;
    if ((type & ~11) != 0 || kind < 1 || kind > 3 || mapType > 1) {
        throwInvalidFormat(kName);
    }
    const bool bitsFit = (kind == 1 && (bits == 8 || bits == 16)) ||
                         (kind == 2 && (bits == 15 || bits == 16 || bits == 24 || bits == 32)) ||
                         (kind == 3 && (bits == 8 || bits == 16));
    if (!bitsFit) {
        throwInvalidColourFormat(kName);
    }
    if (kind == 1 && (mapType != 1 || mapLength == 0)) {
        throwInvalidPalette(kName);
    }
    if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 &&
        mapEntryBits != 32) {
        throwInvalidPalette(kName);
    }
    checkPictureSize(width, height, kName);

    in.skip(idLength);
    std::vector<Rgb> map;
    if (mapType == 1) {
        map = readColourMap(in, mapLength, mapEntryBits);
    }
    const PixelConverter convert(kind, bits, std::move(map), mapFirst);
    const int pixelBytes = (bits + 7) / 8;
    // A run-length packet codes at most 128 pixels.
    const qint64 pixels = qint64{width} * height;
    in.expectAtLeast(runLength ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes);
    QImage picture = newPicture(width, height, kName);
    const bool rightToLeft = (descriptor & 0x10) != 0;
    const bool topToBottom = (descriptor & 0x20) != 0;

    // Run-length packets may run on from one row into the next, so the pixels are taken as one
    // stream and placed row by row.
    int runLeft = 0;
    bool repeating = false;
    Rgb repeated;
    for (int row = 0; row < height; ++row) {
        const int y = topToBottom ? row : height - 1 - row;
        for (int column = 0; column < width; ++column) {
            Rgb colour;
            if (!runLength) {
                colour = convert(in.take(pixelBytes));
            } else {
                if (runLeft == 0) {
                    const uint8_t packet = in.u8();
                    runLeft = (packet & 0x7f) + 1;
                    repeating = (packet & 0x80) != 0;
                    if (repeating) {
                        repeated = convert(in.take(pixelBytes));
                    }
                }
                colour = repeating ? repeated : convert(in.take(pixelBytes));
                --runLeft;
            }
            const int x = rightToLeft ? width - 1 - column : column;
            putPixel(picture, x, y, colour.red, colour.green, colour.blue);
        }
    }
    return picture;
}

}  // namespace formats
