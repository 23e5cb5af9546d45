// Fuzz target: the EMF reader must refuse bad input with FormatError, never crash, hang or leak.
// No QGuiApplication exists here, so metafiles with text are parsed and then refused.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "formats/format_error.h"
#include "formats/metafile/metafile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QImage picture = formats::readEnhancedMetafile(bytes);
        if (picture.format() != QImage::Format_BGR888) {
            __builtin_trap();
        }
    } catch (const formats::FormatError&) {
    }
    return 0;
}
