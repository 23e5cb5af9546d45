#include "formats/metafile/metafile_dib.h"

#include <QByteArray>
#include <cstring>

#include "formats/bmp_codec.h"
#include "formats/picture_limits.h"

// The bitmaps are handed to our BMP reader behind a made-up file header: it already checks the
// header against the size limits and the rows against the data, and knows every bit depth and
// the run-length codings.

namespace formats::metafile {
namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBitFields = 3;

void putLittle32(char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Bytes of the header, masks and colour table, which the pixel rows follow.
qint64 infoBytes(RecordData info) {
    const uint32_t headerSize = info.u32();
    if (headerSize == kCoreHeaderSize) {
        info.skip(6);
        const uint16_t bitsPerPixel = info.u16();
        const qint64 colours = bitsPerPixel <= 8 ? (qint64{1} << bitsPerPixel) : 0;
        return kCoreHeaderSize + 3 * colours;
    }
    if (headerSize < kInfoHeaderSize || headerSize > 1024) {
        throwDamaged(info.formatName(), "a bitmap has an unknown header");
    }
    info.skip(10);
    const uint16_t bitsPerPixel = info.u16();
    const uint32_t compression = info.u32();
    info.skip(12);
    const uint32_t coloursUsed = info.u32();
    qint64 colours = coloursUsed;
    if (colours == 0 && bitsPerPixel <= 8) {
        colours = qint64{1} << bitsPerPixel;
    }
    if (colours > 256 && bitsPerPixel <= 8) {
        throwDamaged(info.formatName(), "a bitmap has too many colours");
    }
    const qint64 masks = (headerSize == kInfoHeaderSize && compression == kBitFields) ? 12 : 0;
    return headerSize + masks + 4 * colours;
}

}  // namespace

Dib decodeDib(const RecordData& info, const RecordData& bits) {
    const qint64 header = infoBytes(info);
    if (header > info.size()) {
        throwDamaged(info.formatName(), "a bitmap's colour table is cut short");
    }
    if (header + bits.size() + kFileHeaderSize > kMaxPictureFileBytes) {
        throwDamaged(info.formatName(), "a bitmap is too large");
    }
    QByteArray file(kFileHeaderSize + header + bits.size(), '\0');
    file[0] = 'B';
    file[1] = 'M';
    putLittle32(file.data() + 2, static_cast<uint32_t>(file.size()));
    putLittle32(file.data() + 10, static_cast<uint32_t>(kFileHeaderSize + header));
    std::memcpy(file.data() + kFileHeaderSize, info.bytes(), static_cast<size_t>(header));
    if (bits.size() > 0) {
        std::memcpy(file.data() + kFileHeaderSize + header, bits.bytes(),
                    static_cast<size_t>(bits.size()));
    }
    RecordData header16 = info;
    bool bottomUp = true;
    if (header16.u32() != kCoreHeaderSize) {
        header16.skip(4);
        bottomUp = header16.s32() > 0;
    }
    try {
        return Dib{decodeBmp(file), bottomUp};
    } catch (const FormatError&) {
        throwDamaged(info.formatName(), "a bitmap in it cannot be read");
    }
}

Dib decodePackedDib(const RecordData& packed) {
    const qint64 header = infoBytes(packed);
    if (header > packed.size()) {
        throwDamaged(packed.formatName(), "a bitmap's colour table is cut short");
    }
    return decodeDib(packed.sub(0, header), packed.sub(header, packed.size() - header));
}

}  // namespace formats::metafile
