#include "formats/readers/photoshop_reader.h"
#include "formats/readers/format_readers.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "formats/byte_reader.h"

namespace formats {
namespace {

const char* const kName = "PSD";

enum Mode { kBitmap = 0, kGrey = 1, kIndexed = 2, kRgb = 3, kCmyk = 4, kDuotone = 8 };

int channelsNeeded(int mode) {
    switch (mode) {
        case kRgb:
            return 3;
        case kCmyk:
            return 4;
        case kBitmap:
        case kGrey:
        case kIndexed:
        case kDuotone:
            return 1;
        default:
            throwUnsupported("The color mode is", kName);
    }
}

// One PackBits row: a count n below 128 copies n + 1 bytes, above 128 repeats the next byte
// 257 - n times, and 128 does nothing.
void unpackRow(ByteReader& packed, std::vector<uint8_t>& row) {
    size_t filled = 0;
    while (filled < row.size()) {
        const int code = packed.u8();
        if (code == 128) {
            continue;
        }
        const size_t count = code < 128 ? code + 1 : 257 - code;
        if (count > row.size() - filled) {
            throwCompressionError(kName);
        }
        if (code < 128) {
            const uint8_t* at = packed.take(static_cast<qint64>(count));
            std::copy(at, at + count, row.begin() + static_cast<std::ptrdiff_t>(filled));
        } else {
            std::fill_n(row.begin() + static_cast<std::ptrdiff_t>(filled), count, packed.u8());
        }
        filled += count;
    }
}

// Skips one section that starts with its 32-bit length.
void skipSection(ByteReader& in) {
    in.skip(in.be32());
}

// Skips the layers and masks, whose length large documents give in 64 bits. A length beyond
// what is left of the file ends in the same error as any other read past the end.
void skipLayerSection(ByteReader& in, bool large) {
    if (!large) {
        skipSection(in);
        return;
    }
    const uint32_t high = in.be32();
    const uint32_t low = in.be32();
    if (high != 0) {
        throwTruncated(kName);  // more than 4 GB: larger than any file we read
    }
    in.skip(low);
}

}  // namespace

QImage readPhotoshop(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 26 || in.be32() != 0x38425053 /* "8BPS" */) {
        throwInvalidFormat(kName);
    }
    // Version 2 is the large document: wider sides, a 64-bit layer section length and
    // 32-bit packed row lengths; the rest is laid out as in version 1.
    const int version = in.be16();
    if (version != 1 && version != 2) {
        throwUnsupported("Versions other than 1 and 2 are", kName);
    }
    const bool large = version == 2;
    in.skip(6);
    const int channels = in.be16();
    const uint32_t height = in.be32();
    const uint32_t width = in.be32();
    const int depth = in.be16();
    const int mode = in.be16();
    const int needed = channelsNeeded(mode);
    if (channels < needed || (mode == kBitmap ? depth != 1 : depth != 8 && depth != 16)) {
        throwInvalidColourFormat(kName);
    }
    checkPictureSize(width, height, kName);

    // The colour mode data holds the palette of indexed pictures: 256 reds, greens, blues.
    const uint32_t modeDataLength = in.be32();
    std::array<std::array<uint8_t, 3>, 256> palette{};
    if (mode == kIndexed) {
        if (modeDataLength < 768) {
            throwInvalidPalette(kName);
        }
        const uint8_t* at = in.take(768);
        for (int i = 0; i < 256; ++i) {
            palette[i] = {at[i], at[256 + i], at[512 + i]};
        }
        in.skip(modeDataLength - 768);
    } else {
        in.skip(modeDataLength);
    }
    skipSection(in);              // image resources
    skipLayerSection(in, large);  // the merged image below is what we show

    const int compression = in.be16();
    const qint64 rowBytes = depth == 1 ? (qint64{width} + 7) / 8 : qint64{width} * (depth / 8);
    const qint64 rows = qint64{height} * needed;
    const qint64 lengthBytes = large ? 4 : 2;
    std::vector<uint32_t> packedLengths;
    if (compression == 0) {
        in.expectAtLeast(rowBytes * rows);
    } else if (compression == 1) {
        // The lengths of all rows of all channels come first; only those we use are checked.
        in.expectAtLeast(qint64{height} * channels * lengthBytes);
        qint64 total = 0;
        for (qint64 i = 0; i < rows; ++i) {
            packedLengths.push_back(large ? in.be32() : in.be16());
            total += packedLengths.back();
        }
        in.skip(qint64{height} * (channels - needed) * lengthBytes);
        in.expectAtLeast(total);
        // PackBits codes at most 128 bytes in two.
        if (total < (rowBytes + 127) / 128 * 2 * rows) {
            throwCompressionError(kName);
        }
    } else {
        throwUnsupported("The compression scheme is", kName);
    }
    QImage picture = newPicture(width, height, kName);

    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int channel = 0; channel < needed; ++channel) {
        for (int y = 0; y < static_cast<int>(height); ++y) {
            if (compression == 0) {
                const uint8_t* at = in.take(rowBytes);
                std::copy(at, at + rowBytes, row.begin());
            } else {
                const qint64 length = packedLengths[static_cast<size_t>(channel) * height + y];
                ByteReader packed(
                    QByteArray::fromRawData(reinterpret_cast<const char*>(in.take(length)), length),
                    kName);
                unpackRow(packed, row);
            }
            uchar* line = picture.scanLine(y);
            for (int x = 0; x < static_cast<int>(width); ++x) {
                uchar* pixel = line + qsizetype{3} * x;
                // Of 16-bit samples the high byte, which comes first.
                const uint8_t value = depth == 1 ? ((row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255)
                                                 : row[static_cast<size_t>(x) * (depth / 8)];
                switch (mode) {
                    case kRgb:
                        pixel[2 - channel] = value;
                        break;
                    case kIndexed:
                        pixel[0] = palette[value][2];
                        pixel[1] = palette[value][1];
                        pixel[2] = palette[value][0];
                        break;
                    case kCmyk:
                        // Samples are stored as 255 minus the ink: cyan, magenta and yellow
                        // first, then black darkens all three.
                        if (channel < 3) {
                            pixel[2 - channel] = value;
                        } else {
                            for (int c = 0; c < 3; ++c) {
                                pixel[c] = static_cast<uint8_t>((pixel[c] * value + 127) / 255);
                            }
                        }
                        break;
                    default:
                        pixel[0] = pixel[1] = pixel[2] = value;
                }
            }
        }
    }
    return picture;
}

}  // namespace formats
