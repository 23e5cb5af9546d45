// Windows bitmap files: the 14-byte file header in front of a device-independent bitmap.
#include <cstdint>

#include "formats/dib_decoder.h"
#include "formats/format_error.h"
#include "formats/readers/format_readers.h"

namespace formats {

QImage readBmp(const QByteArray& data) {
    constexpr qint64 kFileHeaderSize = 14;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (data.size() < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') {
        throw FormatError("Cannot load image. Invalid or unexpected BMP image format.");
    }
    const qint64 pixelOffset =
        bytes[10] | (bytes[11] << 8) | (bytes[12] << 16) | (qint64{bytes[13]} << 24);
    // An offset of 0 is written by some programs for "right after the palette".
    return decodeDib(bytes + kFileHeaderSize, data.size() - kFileHeaderSize,
                     pixelOffset == 0 ? -1 : pixelOffset - kFileHeaderSize, false, "BMP");
}

}  // namespace formats
