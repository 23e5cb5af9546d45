// Placeholder: the writer is being written.
#include "formats/webp_writer.h"

#include "formats/format_error.h"

namespace formats {

QByteArray encodeWebp(const QImage&, int) {
    throw FormatError("WebP cannot be written yet.");
}

}  // namespace formats
