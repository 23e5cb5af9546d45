#include "formats/wmf_writer.h"

#include <cstdint>
#include <initializer_list>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"

namespace formats {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint16_t kPixelsPerInch = 96;
constexpr uint16_t kSetWindowOrg = 0x020B;
constexpr uint16_t kSetWindowExt = 0x020C;
constexpr uint16_t kStretchDib = 0x0F43;
constexpr uint32_t kSourceCopy = 0x00CC0020;
constexpr uint16_t kRgbColours = 0;  // DIB_RGB_COLORS
constexpr int kBmpFileHeaderSize = 14;

void put16(QByteArray& out, uint32_t value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A record: its size in 16-bit words, its function, its 16-bit parameters.
void putRecord(QByteArray& out, uint16_t function, std::initializer_list<uint16_t> parameters) {
    put32(out, static_cast<uint32_t>(3 + parameters.size()));
    put16(out, function);
    for (const uint16_t parameter : parameters) {
        put16(out, parameter);
    }
}

}  // namespace

QByteArray encodeWmf(const QImage& picture) {
    if (picture.isNull()) {
        throw FormatError("Cannot save an empty picture as WMF.");
    }
    if (picture.width() > 32767 || picture.height() > 32767) {
        throw FormatError("The picture is too large for a WMF file.");
    }
    const auto width = static_cast<uint16_t>(picture.width());
    const auto height = static_cast<uint16_t>(picture.height());
    // The bitmap of the record is a BMP file without its file header: info header and rows.
    const QByteArray dib = encodeBmp24(picture).mid(kBmpFileHeaderSize);

    QByteArray records;
    putRecord(records, kSetWindowOrg, {0, 0});  // y, x
    putRecord(records, kSetWindowExt, {height, width});
    const uint32_t stretchWords = 3 + 2 + 1 + 8 + static_cast<uint32_t>(dib.size() / 2);
    put32(records, stretchWords);
    put16(records, kStretchDib);
    put32(records, kSourceCopy);
    put16(records, kRgbColours);
    for (const uint16_t value : {height, width, uint16_t{0}, uint16_t{0},     // source h, w, y, x
                                 height, width, uint16_t{0}, uint16_t{0}}) {  // destination
        put16(records, value);
    }
    records.append(dib);        // 40 + rows padded to 4 bytes: an even length
    putRecord(records, 0, {});  // end of file

    QByteArray file;
    file.reserve(22 + 18 + records.size());
    // Placeable header, with the checksum of its first ten words.
    put32(file, kPlaceableKey);
    put16(file, 0);  // handle
    for (const uint16_t value : {uint16_t{0}, uint16_t{0}, width, height, kPixelsPerInch}) {
        put16(file, value);
    }
    put32(file, 0);  // reserved
    uint16_t checksum = 0;
    for (int i = 0; i < 20; i += 2) {
        checksum ^= static_cast<uint16_t>(static_cast<uchar>(file[i]) |
                                          (static_cast<uchar>(file[i + 1]) << 8));
    }
    put16(file, checksum);
    // Metafile header: in memory, 9 words long, version 3.0, total size in words, no
    // objects, the largest record, no parameters.
    put16(file, 1);
    put16(file, 9);
    put16(file, 0x0300);
    put32(file, static_cast<uint32_t>(9 + records.size() / 2));
    put16(file, 0);
    put32(file, stretchWords);
    put16(file, 0);
    file.append(records);
    return file;
}

}  // namespace formats
