// Fuzz target: the JPEG XL reader must refuse bad input with FormatError, never crash or leak.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "formats/format_error.h"
#include "formats/readers/format_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QImage picture = formats::readJpegXl(bytes);
        if (picture.isNull() || picture.format() != QImage::Format_BGR888) {
            __builtin_trap();
        }
    } catch (const formats::FormatError&) {
    }
    return 0;
}
