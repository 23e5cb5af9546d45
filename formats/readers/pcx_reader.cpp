#include "formats/readers/pcx_reader.h"
#include "formats/readers/format_readers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/byte_reader.h"

namespace formats {
namespace {

const char* const kName = "PCX";
constexpr int kHeaderSize = 128;
constexpr int kEndPaletteSize = 1 + 256 * 3;  // the marker 12, then 256 RGB triples

using Palette = std::array<std::array<uint8_t, 3>, 256>;

// The 256-colour palette that 8-bit files carry after the pixels. Files without it get a grey
// ramp, the most likely meaning of 8-bit samples without colours.
Palette endPalette(const QByteArray& data) {
    Palette palette{};
    const qsizetype start = data.size() - kEndPaletteSize;
    if (start >= kHeaderSize && static_cast<uint8_t>(data[start]) == 12) {
        for (int i = 0; i < 256; ++i) {
            for (int c = 0; c < 3; ++c) {
                palette[i][c] = static_cast<uint8_t>(data[start + 1 + i * 3 + c]);
            }
        }
    } else {
        for (int i = 0; i < 256; ++i) {
            palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                          static_cast<uint8_t>(i)};
        }
    }
    return palette;
}

// Up to 16 colours from the header. Many two-colour files leave both entries alike (often
// all zero), meaning black and white.
Palette headerPalette(const uint8_t* header, int colourBits) {
    Palette palette{};
    for (int i = 0; i < 16; ++i) {
        palette[i] = {header[16 + i * 3], header[17 + i * 3], header[18 + i * 3]};
    }
    if (colourBits == 1 && palette[0] == palette[1]) {
        palette[0] = {0, 0, 0};
        palette[1] = {255, 255, 255};
    }
    return palette;
}

// One scan line of all planes. A run may carry on into the next line, so the decoder keeps
// what is left of it between calls.
class LineDecoder {
public:
    LineDecoder(ByteReader& in, bool runLength) : in_(in), runLength_(runLength) {}

    void decode(std::vector<uint8_t>& line) {
        for (uint8_t& byte : line) {
            if (!runLength_) {
                byte = in_.u8();
                continue;
            }
            if (runLeft_ == 0) {
                const uint8_t code = in_.u8();
                if (code >= 0xc0) {
                    runLeft_ = code & 0x3f;
                    value_ = in_.u8();
                } else {
                    runLeft_ = 1;
                    value_ = code;
                }
                if (runLeft_ == 0) {
                    continue;  // an empty run: some writers leave them, the byte stays 0
                }
            }
            byte = value_;
            --runLeft_;
        }
    }

private:
    ByteReader& in_;
    bool runLength_;
    int runLeft_ = 0;
    uint8_t value_ = 0;
};

constexpr uint32_t kDcxMagic = 0x3ade68b1;
constexpr size_t kDcxMaxPages = 1023;

QImage readPcxPage(const QByteArray& data);

// A DCX file: the magic, then little-endian offsets of up to 1023 pages ending with 0, each page
// a whole PCX file. The first page runs from its offset to the next page or the end of the file.
QImage readFirstDcxPage(const QByteArray& data) {
    ByteReader in(data, kName);
    in.skip(4);
    std::vector<uint32_t> offsets;
    for (;;) {
        const uint32_t offset = in.le32();
        if (offset == 0) {
            break;
        }
        if (offsets.size() == kDcxMaxPages) {
            throwInvalidFormat(kName);  // no end to the table
        }
        offsets.push_back(offset);
    }
    if (offsets.empty()) {
        throwInvalidFormat(kName);  // no pages
    }
    // Pages follow the table; a page inside it, past the end or running backwards is refused.
    const qint64 start = offsets[0];
    const qint64 end = offsets.size() > 1 ? qint64{offsets[1]} : in.size();
    if (start < in.position() || start >= in.size() || end <= start || end > in.size()) {
        throwInvalidFormat(kName);
    }
    return readPcxPage(QByteArray::fromRawData(data.constData() + start, end - start));
}

QImage readPcxPage(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < kHeaderSize || in.at(0) != 0x0a || in.at(2) > 1) {
        throwInvalidFormat(kName);
    }
    const uint8_t* header = in.take(kHeaderSize);
    const bool runLength = header[2] == 1;
    const int bits = header[3];
    auto word = [header](int at) { return header[at] | (header[at + 1] << 8); };
    const int width = word(8) - word(4) + 1;
    const int height = word(10) - word(6) + 1;
    const int planes = header[65];
    const int lineBytes = word(66);

    const bool indexed = (bits == 1 || bits == 2 || bits == 4) && planes >= 1 && bits * planes <= 4;
    const bool palette8 = bits == 8 && planes == 1;
    const bool trueColour = bits == 8 && (planes == 3 || planes == 4);
    if (!indexed && !palette8 && !trueColour) {
        throwInvalidColourFormat(kName);
    }
    checkPictureSize(width, height, kName);
    if (lineBytes * 8 < width * bits) {
        throwInvalidFormat(kName);
    }
    // A run codes at most 63 bytes in two.
    const qint64 codedBytes = qint64{lineBytes} * planes * height;
    in.expectAtLeast(runLength ? codedBytes / 63 : codedBytes);
    QImage picture = newPicture(width, height, kName);
    const Palette palette = palette8 ? endPalette(data) : headerPalette(header, bits * planes);

    LineDecoder decoder(in, runLength);
    std::vector<uint8_t> line(static_cast<size_t>(lineBytes) * planes);
    const unsigned mask = (1u << bits) - 1;
    for (int y = 0; y < height; ++y) {
        decoder.decode(line);
        for (int x = 0; x < width; ++x) {
            if (trueColour) {
                putPixel(picture, x, y, line[x], line[lineBytes + x], line[2 * lineBytes + x]);
                continue;
            }
            int index = 0;
            if (palette8) {
                index = line[x];
            } else {
                // Each plane gives `bits` bits of the index, the first plane the lowest.
                const int bit = x * bits;
                for (int plane = 0; plane < planes; ++plane) {
                    const uint8_t byte = line[plane * lineBytes + bit / 8];
                    index |= static_cast<int>((byte >> (8 - bits - bit % 8)) & mask)
                             << (plane * bits);
                }
            }
            const auto& colour = palette[index];
            putPixel(picture, x, y, colour[0], colour[1], colour[2]);
        }
    }
    return picture;
}

}  // namespace

QImage readPcx(const QByteArray& data) {
    if (data.size() >= 4) {
        ByteReader in(data, kName);
        if (in.le32() == kDcxMagic) {
            return readFirstDcxPage(data);
        }
    }
    return readPcxPage(data);
}

}  // namespace formats
