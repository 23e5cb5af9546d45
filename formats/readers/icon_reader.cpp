// Windows icons and cursors: a directory of bitmaps, each a device-independent bitmap with
// its mask or a complete PNG file. We open the largest picture and, among equally large ones,
// the deepest, as a viewer shows an icon at its best. The mask and any alpha are dropped like
// everywhere else on load: each pixel keeps the colour it stores.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "formats/dib_decoder.h"
#include "formats/format_error.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

constexpr qint64 kDirectorySize = 6;
constexpr qint64 kEntrySize = 16;
const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

uint32_t little16(const uchar* at) {
    return at[0] | (uint32_t{at[1]} << 8);
}
uint32_t little32(const uchar* at) {
    return little16(at) | (little16(at + 2) << 16);
}
uint32_t big32(const uchar* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

struct Candidate {
    qint64 offset = 0;
    qint64 size = 0;
    bool png = false;
    qint64 area = 0;
    qint64 depth = 0;
};

// Size and depth as the stored picture itself states them; the directory's own fields are
// often wrong (0 colours, 0 bits) in files from the wild.
std::optional<Candidate> inspect(const uchar* bytes, qint64 offset, qint64 size) {
    const uchar* at = bytes + offset;
    Candidate candidate{offset, size};
    if (size >= 26 && QByteArray::fromRawData(reinterpret_cast<const char*>(at), 8) ==
                          QByteArray(kPngSignature, 8)) {
        candidate.png = true;
        // Clamped so that the product cannot overflow; such sizes are refused when decoded.
        const qint64 width = std::min<qint64>(big32(at + 16), qint64{1} << 24);
        const qint64 height = std::min<qint64>(big32(at + 20), qint64{1} << 24);
        candidate.area = width * height;
        const int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const uint32_t colourType = at[25];
        candidate.depth = at[24] * (colourType < 7 ? channels[colourType] : 0);
        return candidate;
    }
    if (size < 16) {
        return std::nullopt;
    }
    const uint32_t headerSize = little32(at);
    if (headerSize == 12) {
        candidate.area = qint64{little16(at + 4)} * (little16(at + 6) / 2);
        candidate.depth = little16(at + 10);
    } else if (headerSize >= 16) {
        const qint64 width = static_cast<int32_t>(little32(at + 4));
        const qint64 height = static_cast<int32_t>(little32(at + 8));
        candidate.area = width * (height < 0 ? -height : height) / 2;
        candidate.depth = little16(at + 14);
    } else {
        return std::nullopt;
    }
    return candidate;
}

}  // namespace

QImage readIcon(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    if (size < kDirectorySize || little16(bytes) != 0 ||
        (little16(bytes + 2) != 1 && little16(bytes + 2) != 2) || little16(bytes + 4) == 0) {
        throw FormatError("Cannot load image. Invalid or unexpected ICO image format.");
    }
    const qint64 count = little16(bytes + 4);
    if (kDirectorySize + count * kEntrySize > size) {
        throw FormatError("Stream read error in ICO file.");
    }
    std::optional<Candidate> best;
    for (qint64 i = 0; i < count; ++i) {
        const uchar* entry = bytes + kDirectorySize + i * kEntrySize;
        const qint64 length = little32(entry + 8);
        const qint64 offset = little32(entry + 12);
        if (offset < kDirectorySize || length <= 0 || offset > size || length > size - offset) {
            continue;  // an entry pointing outside the file
        }
        const std::optional<Candidate> candidate = inspect(bytes, offset, length);
        if (candidate && (!best || candidate->area > best->area ||
                          (candidate->area == best->area && candidate->depth > best->depth))) {
            best = candidate;
        }
    }
    if (!best) {
        throw FormatError("Stream read error in ICO file.");
    }
    if (best->png) {
        return readPng(data.mid(best->offset, best->size));
    }
    return decodeDib(bytes + best->offset, best->size, -1, true, "ICO");
}

}  // namespace formats
