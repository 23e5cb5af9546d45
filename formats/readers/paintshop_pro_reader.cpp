#include "formats/readers/paintshop_pro_reader.h"
#include "formats/readers/format_readers.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "formats/byte_reader.h"

// The file is a chain of blocks ("~BK\0", a 16-bit kind, a 32-bit length). We read the
// composite image bank, which holds the flattened picture beside the layers: the attributes of
// each composite image, then its channels, each compressed on its own.

namespace formats {
namespace {

const char* const kName = "PSP";
const char kSignature[] = "Paint Shop Pro Image File\n\x1a";

enum Block {
    kPaletteBlock = 2,
    kChannelBlock = 5,
    kCompositeImageBlock = 9,
    kCompositeBankBlock = 16,
    kCompositeAttributesBlock = 17,
};
enum Compression { kNone = 0, kRunLength = 1, kZlib = 2 };

struct BlockHeader {
    int kind;
    qint64 start;  // of the block's data
    qint64 end;
};

BlockHeader nextBlock(ByteReader& in) {
    if (in.be32() != 0x7e424b00 /* "~BK\0" */) {
        throwInvalidFormat(kName);
    }
    const int kind = in.le16();
    const uint32_t length = in.le32();
    in.expectAtLeast(length);
    return {kind, in.position(), in.position() + length};
}

// Blocks whose data begins with the length of a fixed chunk skip to what follows it.
void skipChunk(ByteReader& in, const BlockHeader& block) {
    const uint32_t chunk = in.le32();
    if (chunk < 4 || chunk > block.end - block.start) {
        throwInvalidFormat(kName);
    }
    in.seek(block.start + chunk);
}

struct CompositeAttributes {
    uint32_t width;
    uint32_t height;
    int bitDepth;
    int compression;
    bool thumbnail;
};

std::vector<uint8_t> inflateChannel(const uint8_t* packed, uint32_t packedLength,
                                    uint32_t expected) {
    std::vector<uint8_t> plain(expected);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        throwCompressionError(kName);
    }
    stream.next_in = const_cast<Bytef*>(packed);
    stream.avail_in = packedLength;
    stream.next_out = plain.data();
    stream.avail_out = expected;
    const int result = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced != expected) {
        throwCompressionError(kName);
    }
    return plain;
}

// Runs: a count above 128 repeats the next byte count - 128 times, otherwise count bytes follow.
std::vector<uint8_t> unpackRuns(const uint8_t* packed, uint32_t packedLength, uint32_t expected) {
    std::vector<uint8_t> plain;
    plain.reserve(expected);
    ByteReader in(QByteArray::fromRawData(reinterpret_cast<const char*>(packed),
                                          static_cast<qsizetype>(packedLength)),
                  kName);
    while (plain.size() < expected && !in.atEnd()) {
        const int count = in.u8();
        if (count > 128) {
            plain.insert(plain.end(), static_cast<size_t>(count - 128), in.u8());
        } else {
            const uint8_t* at = in.take(count);
            plain.insert(plain.end(), at, at + count);
        }
    }
    if (plain.size() != expected) {
        throwCompressionError(kName);
    }
    return plain;
}

// One channel's samples, `stride` bytes a row: stored rows are padded to four bytes, while
// the compressed ones may be packed, which the length they declare tells apart.
struct Channel {
    int type;  // 0 for the indices or grey of an 8-bit picture, 1 to 3 for red, green, blue
    std::vector<uint8_t> samples;
    qint64 stride;
};

Channel readChannel(ByteReader& in, const BlockHeader& block, const CompositeAttributes& image) {
    const uint32_t chunk = in.le32();
    const uint32_t packedLength = in.le32();
    const uint32_t plainLength = in.le32();
    in.skip(2);  // bitmap type
    const int type = in.le16();
    if (chunk < 16 || chunk > block.end - block.start) {
        throwInvalidFormat(kName);
    }
    in.seek(block.start + chunk);
    if (packedLength > block.end - in.position()) {
        throwTruncated(kName);
    }
    const qint64 packedRow = image.width;
    const qint64 paddedRow = (qint64{image.width} + 3) / 4 * 4;
    qint64 stride = 0;
    if (plainLength == packedRow * image.height) {
        stride = packedRow;
    } else if (plainLength == paddedRow * image.height) {
        stride = paddedRow;
    } else {
        throwInvalidFormat(kName);
    }
    const uint8_t* packed = in.take(packedLength);
    std::vector<uint8_t> samples;
    switch (image.compression) {
        case kNone:
            if (packedLength != plainLength) {
                throwInvalidFormat(kName);
            }
            samples.assign(packed, packed + plainLength);
            break;
        case kRunLength:
            samples = unpackRuns(packed, packedLength, plainLength);
            break;
        default:
            samples = inflateChannel(packed, packedLength, plainLength);
    }
    return {type, std::move(samples), stride};
}

QImage readComposite(ByteReader& in, const BlockHeader& image, const CompositeAttributes& what) {
    skipChunk(in, image);
    std::array<std::array<uint8_t, 3>, 256> palette{};
    bool hasPalette = false;
    std::vector<Channel> channels;
    while (in.position() < image.end) {
        const BlockHeader block = nextBlock(in);
        if (block.end > image.end) {
            throwInvalidFormat(kName);
        }
        if (block.kind == kPaletteBlock) {
            const uint32_t chunk = in.le32();
            const uint32_t entries = in.le32();
            if (chunk < 8 || chunk > block.end - block.start) {
                throwInvalidFormat(kName);
            }
            in.seek(block.start + chunk);
            if (entries > 256 || entries * 4 > block.end - in.position()) {
                throwInvalidPalette(kName);
            }
            for (uint32_t i = 0; i < entries; ++i) {
                const uint8_t* at = in.take(4);  // blue, green, red, unused
                palette[i] = {at[2], at[1], at[0]};
            }
            hasPalette = true;
        } else if (block.kind == kChannelBlock) {
            channels.push_back(readChannel(in, block, what));
        }
        in.seek(block.end);
    }

    QImage picture = newPicture(what.width, what.height, kName);
    const Channel* byType[4] = {};
    for (const Channel& channel : channels) {
        if (channel.type >= 0 && channel.type < 4) {
            byType[channel.type] = &channel;
        }
    }
    const bool colour = what.bitDepth == 24;
    if (colour ? !byType[1] || !byType[2] || !byType[3] : !byType[0]) {
        throwInvalidColourFormat(kName);
    }
    if (!colour && !hasPalette) {
        // An 8-bit picture without a palette is grey.
        for (int i = 0; i < 256; ++i) {
            palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
        }
    }
    for (int y = 0; y < static_cast<int>(what.height); ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < static_cast<int>(what.width); ++x) {
            auto sample = [&](int type) {
                const Channel& channel = *byType[type];
                return channel.samples[static_cast<size_t>(y * channel.stride + x)];
            };
            uchar* pixel = line + qsizetype{3} * x;
            if (colour) {
                pixel[0] = sample(3);
                pixel[1] = sample(2);
                pixel[2] = sample(1);
            } else {
                const auto& entry = palette[sample(0)];
                pixel[0] = entry[2];
                pixel[1] = entry[1];
                pixel[2] = entry[0];
            }
        }
    }
    return picture;
}

QImage readCompositeBank(ByteReader& in, const BlockHeader& bank) {
    skipChunk(in, bank);
    CompositeAttributes attributes{};
    bool haveAttributes = false;
    while (in.position() < bank.end) {
        const BlockHeader block = nextBlock(in);
        if (block.end > bank.end) {
            throwInvalidFormat(kName);
        }
        if (block.kind == kCompositeAttributesBlock) {
            in.skip(4);  // chunk length
            attributes.width = in.le32();
            attributes.height = in.le32();
            attributes.bitDepth = in.le16();
            attributes.compression = in.le16();
            in.skip(2 + 4);  // planes, colours
            attributes.thumbnail = in.le16() != 0;
            haveAttributes = true;
        } else if (block.kind == kCompositeImageBlock && haveAttributes && !attributes.thumbnail) {
            checkPictureSize(attributes.width, attributes.height, kName);
            if (attributes.bitDepth != 8 && attributes.bitDepth != 24) {
                throwUnsupported("Color depths other than 8 and 24 bits are", kName);
            }
            if (attributes.compression > kZlib) {
                throwUnsupported("The compression scheme is", kName);
            }
            return readComposite(in, block, attributes);
        }
        in.seek(block.end);
    }
    throwUnsupported("Files without a composite image are", kName);
}

}  // namespace

QImage readPaintShopPro(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 36 ||
        std::memcmp(in.take(sizeof kSignature - 1), kSignature, sizeof kSignature - 1) != 0) {
        throwInvalidFormat(kName);
    }
    in.seek(32);
    const int major = in.le16();
    in.skip(2);
    if (major < 4) {
        throwUnsupported("Files of version 5 and older are", kName);
    }
    while (!in.atEnd()) {
        const BlockHeader block = nextBlock(in);
        if (block.kind == kCompositeBankBlock) {
            return readCompositeBank(in, block);
        }
        in.seek(block.end);
    }
    throwUnsupported("Files without a composite image are", kName);
}

}  // namespace formats
