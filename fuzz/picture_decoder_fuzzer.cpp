// Fuzz target: the reader chosen by content (BMP and JPEG today) must refuse bad input with
// FormatError, never crash or leak.
#include <QByteArray>
#include <QDebug>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "formats/format_error.h"
#include "formats/picture_file.h"

namespace {

// Qt's BMP reader warns on stderr about broken files; at thousands of inputs a second that
// only slows the fuzzer down.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(dropMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QImage picture = formats::decodePicture(bytes, QStringLiteral("fuzz input"));
        if (picture.format() != QImage::Format_BGR888) {
            __builtin_trap();
        }
    } catch (const formats::FormatError&) {
    }
    return 0;
}
